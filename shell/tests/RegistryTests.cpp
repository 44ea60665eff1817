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
    RegistryValues()
    {
        m_key = std::wstring(kParent) + L"\\" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(GetTickCount());
    }
    ~RegistryValues() override
    {
        for (const Root& root : kRoots) {
            RegDeleteTreeW(root.key, m_key.c_str());
            RegDeleteKeyW(root.key, kParent);
        }
    }

    gCString Key(const wchar_t* below = nullptr) const
    {
        return gCString((below ? m_key + L"\\" + below : m_key).c_str());
    }
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
    std::wstring m_key;
};

} // namespace

TEST_F(RegistryValues, TextAndWordsRoundTripUnderBothRoots)
{
    for (const Root& root : kRoots) {
        SCOPED_TRACE(root.name);
        // A text write needs the key; a 32-bit write makes the whole path.
        EXPECT_RESULT((m_app.*root.writeText)(Key(), gCString(L"Name"), gCString(L"x")), kRegistryFailure);
        ASSERT_OK((m_app.*root.writeWord)(Key(L"Made\\Deeper"), gCString(L"Count"), 0xDEADBEEFu));
        uint32_t word = 0;
        EXPECT_OK((m_app.*root.readWord)(Key(L"Made\\Deeper"), gCString(L"Count"), word));
        EXPECT_EQ(word, 0xDEADBEEFu);

        const gCString text(L"Quorvel \u4E2D\u6587 C:\\Path");
        ASSERT_OK((m_app.*root.writeText)(Key(), gCString(L"Name"), text));
        gCString read;
        EXPECT_OK((m_app.*root.readText)(Key(), gCString(L"Name"), read));
        EXPECT_EQ(W(read), W(text));
    }
}

TEST_F(RegistryValues, MissingEmptyAndWronglyTypedValuesGive11AndLeaveTheOutValueAlone)
{
    const DWORD word = 5;
    const unsigned long long quad = 5;
    const wchar_t expandable[] = L"%TEMP%";
    const wchar_t text[] = L"12";
    struct Stored {
        const wchar_t* name;
        DWORD type;
        const void* data;
        DWORD size;
    };
    const Stored stored[] = {
        {L"EmptyText", REG_SZ, L"", 0},
        {L"Expandable", REG_EXPAND_SZ, expandable, sizeof(expandable)},
        {L"Quad", REG_QWORD, &quad, sizeof(quad)},
        {L"WordAsBinary", REG_BINARY, &word, sizeof(word)},
        {L"Text", REG_SZ, text, sizeof(text)},
    };
    // Both roots share the reading code.
    for (const Stored& value : stored)
        ASSERT_TRUE(Store(value.name, value.type, value.data, value.size));
    for (const wchar_t* name : {L"EmptyText", L"Expandable", L"Quad", L"Absent"}) {
        gCString out(L"untouched");
        EXPECT_RESULT(m_app.ReadUserString(Key(), gCString(name), out), kRegistryFailure) << W(gCString(name));
        EXPECT_EQ(W(out), L"untouched");
    }
    for (const wchar_t* name : {L"Quad", L"WordAsBinary", L"Text", L"Absent"}) {
        uint32_t out = 0x12345678u;
        EXPECT_RESULT(m_app.ReadUserDWord(Key(), gCString(name), out), kRegistryFailure) << W(gCString(name));
        EXPECT_EQ(out, 0x12345678u);
    }
}

TEST_F(RegistryValues, TextWithoutItsTerminatorReadsWhole)
{
    // No terminator; an odd size; a terminator inside the stored bytes.
    struct Case {
        std::string bytes;
        const wchar_t* read;
    };
    const Case cases[] = {{std::string("a\0b\0c\0", 6), L"abc"},
                          {std::string("a\0b\0c\0d", 7), L"abcd"},
                          {std::string("a\0b\0\0\0c\0", 8), L"ab"}};
    for (const Case& c : cases) {
        ASSERT_TRUE(Store(L"Raw", REG_SZ, c.bytes.data(), static_cast<DWORD>(c.bytes.size())));
        gCString out;
        EXPECT_OK(m_app.ReadUserString(Key(), gCString(L"Raw"), out));
        EXPECT_EQ(W(out), c.read);
    }
}
