// The real open and save dialogs under Xvfb, driven from a helper thread: it waits for the
// dialog, picks a filter, types a name and presses OK or Cancel. Whatever happens, every dialog
// of the test's thread is closed before the test goes on.
#include <gtest/gtest.h>

#include "ResultAssert.h"

#include <windows.h>

#include <commdlg.h>
#include <dlgs.h>

#include <string>
#include <thread>

#include "FileDialogs.h"
#include "TempFolder.h"
#include "TestApp.h"
#include "Wait.h"
#include "WinHandle.h"
#include "gCFRef.h"

namespace {
struct DialogScript {
    int filter = 0;    // 1-based filter to choose; 0 leaves it
    std::wstring name; // typed into the name field when not empty
    bool cancel = false;
    DWORD patience = 15000; // how long the helper waits for the dialog
    // What the helper saw.
    bool found = false;
    RECT rect = {};
    int initialFilter = -1;
    std::wstring initialName;
};

BOOL CALLBACK TakeVisibleDialog(HWND window, LPARAM out)
{
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (!IsWindowVisible(window) || std::wstring(name) != L"#32770")
        return TRUE;
    *reinterpret_cast<HWND*>(out) = window;
    return FALSE;
}

// The first visible dialog of the thread, or null.
HWND FindDialog(DWORD threadId)
{
    HWND found = nullptr;
    EnumThreadWindows(threadId, TakeVisibleDialog, reinterpret_cast<LPARAM>(&found));
    return found;
}

void Drive(DWORD threadId, DialogScript* script)
{
    const auto every20Ms = [] {
        Sleep(20);
        return true;
    };
    if (!WaitUntil([&] { return FindDialog(threadId) != nullptr; }, every20Ms, static_cast<int>(script->patience)))
        return;
    Sleep(300); // the dialog finishes its start-up, the hook's placement included
    HWND dialog = FindDialog(threadId);
    script->found = true;
    GetWindowRect(dialog, &script->rect);
    HWND filters = GetDlgItem(dialog, cmb1);
    script->initialFilter = static_cast<int>(SendMessageW(filters, CB_GETCURSEL, 0, 0));
    HWND nameField = GetDlgItem(dialog, cmb13) ? GetDlgItem(dialog, cmb13) : GetDlgItem(dialog, edt1);
    wchar_t name[1024] = {};
    GetWindowTextW(nameField, name, 1024);
    script->initialName = name;
    if (script->filter > 0) {
        SendMessageW(filters, CB_SETCURSEL, static_cast<WPARAM>(script->filter - 1), 0);
        // As a user's pick sends them; dialogs differ in which one they act on.
        for (WORD notification : {CBN_SELCHANGE, CBN_SELENDOK})
            SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(cmb1, notification), reinterpret_cast<LPARAM>(filters));
    }
    if (!script->name.empty())
        SendMessageW(nameField, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(script->name.c_str()));
    const int button = script->cancel ? IDCANCEL : IDOK;
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
}

// Runs the script on a helper thread for the life of the object; at its end every dialog
// left open (a refused name's message box, a dialog that ignored the script) is closed.
class DialogDriver {
public:
    explicit DialogDriver(DialogScript& script) : m_threadId(GetCurrentThreadId()), m_thread(Drive, m_threadId, &script)
    {
    }
    ~DialogDriver()
    {
        m_thread.join();
        HWND left = nullptr;
        for (int i = 0; i < 50 && (left = FindDialog(m_threadId)) != nullptr; ++i) {
            PostMessageW(left, WM_COMMAND, IDCANCEL, 0);
            PostMessageW(left, WM_CLOSE, 0, 0);
            PumpFor(20);
        }
    }
    DialogDriver(const DialogDriver&) = delete;
    DialogDriver& operator=(const DialogDriver&) = delete;

private:
    DWORD m_threadId;
    std::thread m_thread;
};

// Runs the dialog call while the script drives it.
template <typename Show>
gCResult Driven(DialogScript& script, Show show)
{
    DialogDriver driver(script);
    return show();
}

// Types 3 and 9 with "All Files" at the end.
void MakeBmpTxtAll(CFileTypeList& list)
{
    ASSERT_OK(list.AddStandardType(3));
    ASSERT_OK(list.AddStandardType(9));
    list.SetAllFiles(1);
}
} // namespace

// A text longer than the name buffer is left out, not cut.
TEST(OpenDialog, CancelGives2KeepsTheTextAndTheDialogIsCentredOnTheScreen)
{
    struct Row {
        std::wstring text, initialName;
    };
    for (const Row& row : {Row{L"C:\\nowhere\\start.txt", L"start.txt"}, Row{L"C:\\windows\\", L""},
                           Row{L"C:\\" + std::wstring(1100, L'x') + L".txt", L""}}) {
        DialogScript script;
        script.cancel = true;
        gCString text(row.text.c_str());
        EXPECT_RESULT(Driven(script, [&] { return ShowOpenFileDialog(text, nullptr); }), kHandled);
        ASSERT_TRUE(script.found);
        EXPECT_EQ(W(text), row.text);
        EXPECT_EQ(script.initialName, row.initialName);
        const int width = script.rect.right - script.rect.left;
        EXPECT_EQ(script.rect.left, CentreOnAxis(0, 1280, width, 1280));
        EXPECT_EQ(script.rect.top, CentreOnAxis(0, 1024, script.rect.bottom - script.rect.top, 1024));
    }
}

TEST(OpenDialog, ChosenFileOpensAndTheChosenFilterGivesTheSelectedType)
{
    TempFolder scratch;
    ASSERT_TRUE(WriteWholeFile(scratch.File(L"pick.txt"), Ansi("hello")));
    struct Row {
        int filter;
        uint32_t type;
    };
    for (const Row& row : {Row{1, 3}, Row{3, 1}, Row{0, 9}}) {
        SCOPED_TRACE(row.filter);
        CFileTypeList list;
        MakeBmpTxtAll(list);
        EXPECT_OK(list.SetSelectedType(9));
        DialogScript script;
        script.filter = row.filter;
        script.name = scratch.Path() + L"pick.txt";
        gCFile file;
        gCFRef path;
        ASSERT_OK(Driven(script, [&] { return OpenFileForLoad(file, path, &list, kAccessRead); }));
        // Type 9 is the second filter.
        EXPECT_EQ(script.initialFilter, 1);
        char bytes[6] = {};
        EXPECT_OK(file.ReadBytes(bytes, 5));
        EXPECT_STREQ(bytes, "hello");
        EXPECT_EQ(list.GetSelectedType(), row.type);
    }
}

TEST(SaveDialog, TheChosenEntryReachesTheExtensionRule)
{
    TempFolder scratch;
    CFileTypeList pictures;
    ASSERT_OK(pictures.AddCustomType(500, gCString(L"Pictures"), gCString(L".png,.jpg")));
    CFileTypeList texts;
    MakeBmpTxtAll(texts);
    struct Row {
        CFileTypeList* list;
        uint32_t position;
        int filter;
        const wchar_t* typed;
        const wchar_t* saved;
    };
    const Row rows[] = {
        // A dialog would not add its default extension to this name.
        {&texts, 1, 0, L"name.bmp", L"name.bmp.txt"},
        {&texts, 0, 2, L"chosen", L"chosen.txt"},
        {&pictures, 0, 0, L"pic", L"pic.png"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(row.typed)));
        EXPECT_OK(row.list->SetSelectedType(row.position));
        DialogScript script;
        script.filter = row.filter;
        script.name = scratch.Path() + row.typed;
        gCString text;
        EXPECT_OK(Driven(script, [&] { return ShowSaveFileDialog(text, row.list); }));
        EXPECT_EQ(script.initialFilter, static_cast<int>(row.position));
        EXPECT_EQ(W(text), scratch.Path() + row.saved);
        EXPECT_EQ(row.list->GetSelectedType(), row.position);
    }
}

TEST(SaveDialog, PositionsThatNameNoFilterAreRefusedWithoutADialog)
{
    CFileTypeList list;
    MakeBmpTxtAll(list);
    for (uint32_t position : {3u, 0xFFFFFFFFu, 0x80000000u}) {
        EXPECT_OK(list.SetSelectedType(position));
        gCString text(L"C:\\kept.txt");
        EXPECT_RESULT(ShowSaveFileDialog(text, &list), kBadParameter) << position;
        EXPECT_EQ(W(text), L"C:\\kept.txt");
    }
}

TEST(SaveDialog, CancelOpensNothingAndAValidPathOpensWithoutADialog)
{
    TempFolder scratch;
    for (bool named : {false, true}) {
        DialogScript script;
        script.cancel = true;
        script.patience = named ? 1000 : 15000;
        gCFile file;
        gCFRef path(gCString(named ? (scratch.Path() + L"out.bin").c_str() : L""));
        EXPECT_RESULT(Driven(script, [&] { return OpenFileForSave(file, path, nullptr, kAccessWrite); }),
                      named ? kOk : kHandled);
        EXPECT_EQ(script.found, !named);
        EXPECT_EQ(file.IsOpen(), named);
        EXPECT_EQ(path.IsValid(), named);
    }
}

TEST(DialogCentring, HookPlacesTheDialogOnItsOwnerOnceItIsReady)
{
    HINSTANCE instance = GetModuleHandleW(nullptr);
    CUniqueWindow owner(
        CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, 1000, 0, 2000, 300, nullptr, nullptr, instance, nullptr));
    CUniqueWindow owned(
        CreateWindowExW(0, L"STATIC", L"dialog", WS_POPUP, 5, 5, 2000, 200, owner.Get(), nullptr, instance, nullptr));
    ASSERT_TRUE(owner.Get() && owned.Get());
    HWND hook = CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 1, 1, owned.Get(), nullptr, instance, nullptr);
    RECT rect;
    NMHDR header = {};
    for (UINT code : {static_cast<UINT>(CDN_SELCHANGE), static_cast<UINT>(CDN_INITDONE)}) {
        header.code = code;
        EXPECT_EQ(CenterDialogHook(hook, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&header)) != 0,
                  code == static_cast<UINT>(CDN_INITDONE));
        GetWindowRect(owned.Get(), &rect);
        // Past the right edge of the 1280-pixel screen, so kept on it by its right edge.
        EXPECT_EQ(rect.left, code == static_cast<UINT>(CDN_INITDONE) ? 1280 - 2000 : 5);
    }
    EXPECT_EQ(rect.top, 50);
}
