// Registry values through the application object, under both roots, in a key of their own
// that is removed afterwards.
#include <gtest/gtest.h>

#include "ResultAssert.h"

#include <string>

#include "ShellHandles.h"
#include "TestApp.h"

namespace {

using ReadText = gCResult (CAppWin::*)(const gCString&, const gCString&, gCString&);
using ReadWord = gCResult (CAppWin::*)(const gCString&, const gCString&, uint32_t&);
using WriteText = gCResult (CAppWin::*)(const gCString&, const gCString&, const gCString&);
using WriteWord = gCResult (CAppWin::*)(const gCString&, const gCString&, uint32_t);

struct Root {
    const char* name;
    HKEY key;
    ReadText readText;
    ReadWord readWord;
    WriteText writeText;
    WriteWord writeWord;
};

const Root kRoots[] = {
    {"machine", HKEY_LOCAL_MACHINE, &CAppWin::ReadMachineString, &CAppWin::ReadMachineDWord,
     &CAppWin::WriteMachineString, &CAppWin::WriteMachineDWord},
    {"user", HKEY_CURRENT_USER, &CAppWin::ReadUserString, &CAppWin::ReadUserDWord, &CAppWin::WriteUserString,
     &CAppWin::WriteUserDWord},
};

const wchar_t kParent[] = L"Software\\QvServiceTests";

class RegistryValues : public testing::Test {
protected:
    ~RegistryValues() override
    {
        for (const Root& root : kRoots) {
            RegDeleteTreeW(root.key, m_key.c_str());
            RegDeleteKeyW(root.key, kParent);
        }
    }

    gCString Key(const wchar_t* below = L"") const { return gCString((m_key + below).c_str()); }
    // Stores raw bytes under the user's root as a value of any type, creating the key.
    bool Store(const wchar_t* name, DWORD type, const void* data, DWORD size)
    {
        CRegKey key;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, m_key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.Put(),
                            nullptr) != ERROR_SUCCESS)
            return false;
        return RegSetValueExW(key.Get(), name, 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
    }

    CApp m_app;
    // A key of this run's own: the prefix outlives runs, and process ids come again.
    const std::wstring m_key =
        std::wstring(kParent) + L"\\" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetTickCount());
};

} // namespace

TEST_F(RegistryValues, TextAndWordsRoundTripUnderBothRoots)
{
    for (const Root& root : kRoots) {
        SCOPED_TRACE(root.name);
        // A text write needs the key; a 32-bit write makes the whole path.
        EXPECT_RESULT((m_app.*root.writeText)(Key(), gCString(L"Name"), gCString(L"x")), kRegistryFailure);
        ASSERT_OK((m_app.*root.writeWord)(Key(L"\\Made\\Deeper"), gCString(L"Count"), 0xDEADBEEFu));
        uint32_t word = 0;
        EXPECT_OK((m_app.*root.readWord)(Key(L"\\Made\\Deeper"), gCString(L"Count"), word));
        EXPECT_EQ(word, 0xDEADBEEFu);

        const gCString text(L"Quorvel \u4E2D\u6587 C:\\Path");
        ASSERT_OK((m_app.*root.writeText)(Key(), gCString(L"Name"), text));
        gCString read;
        EXPECT_OK((m_app.*root.readText)(Key(), gCString(L"Name"), read));
        EXPECT_EQ(W(read), W(text));
    }
}

// Another program may have stored anything: a text without its terminator or of an odd size
// reads whole, a value of another type or size fails and leaves the out value alone.
TEST_F(RegistryValues, StoredBytesAreReadOnlyAsTheirOwnType)
{
    struct Row {
        DWORD type;
        std::string bytes;
        const wchar_t* text; // null: the text read fails
        bool word;           // the 32-bit read gives 5
    };
    const Row rows[] = {
        {REG_SZ, std::string("a\0b\0c\0", 6), L"abc", false},
        {REG_SZ, std::string("a\0b\0c\0d", 7), L"abcd", false},
        {REG_SZ, std::string("a\0b\0\0\0c\0", 8), L"ab", false},
        {REG_SZ, std::string(), nullptr, false},
        {REG_EXPAND_SZ, std::string("%\0T\0%\0\0\0", 8), nullptr, false},
        {REG_DWORD, std::string("\5\0\0\0", 4), nullptr, true},
        {REG_BINARY, std::string("\5\0\0\0", 4), nullptr, false},
        {REG_QWORD, std::string("\5\0\0\0\0\0\0\0", 8), nullptr, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.type << " of " << row.bytes.size() << " bytes");
        ASSERT_TRUE(Store(L"Value", row.type, row.bytes.data(), static_cast<DWORD>(row.bytes.size())));
        gCString text(L"untouched");
        EXPECT_EQ(m_app.ReadUserString(Key(), gCString(L"Value"), text), row.text ? kOk : kRegistryFailure);
        EXPECT_EQ(W(text), row.text ? row.text : L"untouched");
        uint32_t word = 7;
        EXPECT_EQ(m_app.ReadUserDWord(Key(), gCString(L"Value"), word), row.word ? kOk : kRegistryFailure);
        EXPECT_EQ(word, row.word ? 5u : 7u);
    }
    gCString text(L"untouched");
    EXPECT_RESULT(m_app.ReadUserString(Key(), gCString(L"Absent"), text), kRegistryFailure);
}
