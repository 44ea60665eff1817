// The real open and save dialogs under Xvfb, driven from a helper thread: it waits for the
// dialog, picks a filter, types a name and presses OK or Cancel. Whatever happens, the helper
// closes every dialog of the test's thread before it ends.
#include <gtest/gtest.h>

#include "ResultAssert.h"

#include <windows.h>

#include <commdlg.h>
#include <dlgs.h>

#include <string>
#include <thread>

#include "FileDialogs.h"
#include "TestApp.h"
#include "TempFolder.h"
#include "Wait.h"
#include "WinHandle.h"
#include "gCFRef.h"

namespace {

struct DialogScript {
    // 1-based filter to choose; 0 leaves it.
    int filter = 0;
    // Typed into the name field when not empty.
    std::wstring name;
    bool cancel = false;
    // How long the helper waits for the dialog to come.
    DWORD patience = 15000;

    // What the helper saw.
    bool found = false;
    bool closedByScript = false;
    RECT rect = {};
    int initialFilter = -1;
    std::wstring initialName;
};

std::wstring ClassOf(HWND window)
{
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

std::wstring TextOf(HWND window)
{
    wchar_t text[1024] = {};
    GetWindowTextW(window, text, 1024);
    return text;
}

BOOL CALLBACK TakeVisibleDialog(HWND window, LPARAM out)
{
    if (IsWindowVisible(window) && ClassOf(window) == L"#32770") {
        *reinterpret_cast<HWND*>(out) = window;
        return FALSE;
    }
    return TRUE;
}

// The first visible dialog of the thread, or null.
HWND FindDialog(DWORD threadId)
{
    HWND found = nullptr;
    EnumThreadWindows(threadId, TakeVisibleDialog, reinterpret_cast<LPARAM>(&found));
    return found;
}

HWND NameField(HWND dialog)
{
    if (HWND combo = GetDlgItem(dialog, cmb13))
        return combo;
    return GetDlgItem(dialog, edt1);
}

// Looks for the dialog every 20 ms.
const auto kEvery20Ms = [] {
    Sleep(20);
    return true;
};

void Drive(DWORD threadId, DialogScript* script)
{
    if (!WaitUntil([&] { return FindDialog(threadId) != nullptr; }, kEvery20Ms, static_cast<int>(script->patience)))
        return;
    // Let the dialog finish its start-up, the hook's placement included.
    Sleep(300);
    HWND dialog = FindDialog(threadId);
    script->found = true;
    GetWindowRect(dialog, &script->rect);
    HWND filters = GetDlgItem(dialog, cmb1);
    script->initialFilter = static_cast<int>(SendMessageW(filters, CB_GETCURSEL, 0, 0));
    script->initialName = TextOf(NameField(dialog));

    if (script->filter > 0) {
        SendMessageW(filters, CB_SETCURSEL, static_cast<WPARAM>(script->filter - 1), 0);
        // As a user's pick sends them; dialogs differ in which one they act on.
        for (WORD notification : {CBN_SELCHANGE, CBN_SELENDOK})
            SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(cmb1, notification), reinterpret_cast<LPARAM>(filters));
    }
    if (!script->name.empty())
        SendMessageW(NameField(dialog), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(script->name.c_str()));
    const int button = script->cancel ? IDCANCEL : IDOK;
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
    script->closedByScript = WaitUntil([&] { return FindDialog(threadId) == nullptr; }, kEvery20Ms, 10000);
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
        for (int i = 0; i < 50; ++i) {
            HWND left = FindDialog(m_threadId);
            if (!left)
                break;
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

gCString S(const std::wstring& text)
{
    return gCString(text.c_str());
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
    const std::wstring tooLong = L"C:\\" + std::wstring(1100, L'x') + L".txt";
    struct Row {
        std::wstring text, initialName;
    };
    for (const Row& row : {Row{L"C:\\nowhere\\start.txt", L"start.txt"}, Row{tooLong, L""}}) {
        DialogScript script;
        script.cancel = true;
        gCString text = S(row.text);
        const gCResult result = Driven(script, [&] { return ShowOpenFileDialog(text, nullptr); });
        ASSERT_TRUE(script.found);
        EXPECT_TRUE(script.closedByScript);
        EXPECT_RESULT(result, kHandled);
        EXPECT_EQ(W(text), row.text);
        EXPECT_EQ(script.initialName, row.initialName);
        const int width = script.rect.right - script.rect.left;
        const int height = script.rect.bottom - script.rect.top;
        EXPECT_EQ(script.rect.left, CentreOnAxis(0, 1280, width, 1280));
        EXPECT_EQ(script.rect.top, CentreOnAxis(0, 1024, height, 1024));
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
        const gCResult result = Driven(script, [&] { return OpenFileForLoad(file, path, &list, kAccessRead); });
        ASSERT_TRUE(script.found);
        EXPECT_TRUE(script.closedByScript);
        // Type 9 is the second filter.
        EXPECT_EQ(script.initialFilter, 1);
        ASSERT_OK(result);
        EXPECT_EQ(W(path.GetPath()), scratch.Path() + L"pick.txt");
        char bytes[6] = {};
        EXPECT_OK(file.ReadBytes(bytes, 5));
        EXPECT_STREQ(bytes, "hello");
        EXPECT_EQ(list.GetSelectedType(), row.type);
    }
}

TEST(OpenDialog, FolderTextOpensInThatFolderWithAnEmptyName)
{
    TempFolder scratch;
    ASSERT_TRUE(WriteWholeFile(scratch.File(L"inside.txt"), Ansi("x")));
    DialogScript script;
    script.name = L"inside.txt";
    gCString text = S(scratch.Path());
    const gCResult result = Driven(script, [&] { return ShowOpenFileDialog(text, nullptr); });
    ASSERT_TRUE(script.found);
    EXPECT_EQ(script.initialName, L"");
    EXPECT_OK(result);
    EXPECT_EQ(W(text), scratch.Path() + L"inside.txt");
}

TEST(SaveDialog, FinalNameFollowsTheExtensionRule)
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
        // The rule's cases are tested on their own; here the dialog's chosen entry reaches it.
        {&texts, 1, 0, L"name", L"name.txt"},
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
        const gCResult result = Driven(script, [&] { return ShowSaveFileDialog(text, row.list); });
        ASSERT_TRUE(script.found);
        EXPECT_TRUE(script.closedByScript);
        EXPECT_EQ(script.initialFilter, static_cast<int>(row.position));
        EXPECT_OK(result);
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

TEST(SaveDialog, CancelOpensNothing)
{
    DialogScript script;
    script.cancel = true;
    gCFile file;
    gCFRef path;
    const gCResult result = Driven(script, [&] { return OpenFileForSave(file, path, nullptr, kAccessWrite); });
    ASSERT_TRUE(script.found);
    EXPECT_RESULT(result, kHandled);
    EXPECT_FALSE(file.IsOpen());
    EXPECT_FALSE(path.IsValid());
}

TEST(SaveDialog, AValidPathOpensWithoutADialog)
{
    TempFolder scratch;
    DialogScript script;
    script.cancel = true;
    script.patience = 1000;
    gCFile file;
    gCFRef path(S(scratch.Path() + L"out.bin"));
    gCResult result;
    {
        DialogDriver driver(script);
        result = OpenFileForSave(file, path, nullptr, kAccessWrite);
        if (result == 0) {
            EXPECT_OK(file.WriteBytes("data", 4));
        }
        // Closing a file not open is harmless.
        (void)file.Close();
    }
    EXPECT_FALSE(script.found);
    EXPECT_OK(result);
    EXPECT_EQ(ReadWholeFile(scratch.File(L"out.bin")), Ansi("data"));
}

TEST(DialogCentring, HookPlacesTheDialogOnItsOwnerOrTheScreen)
{
    HINSTANCE instance = GetModuleHandleW(nullptr);
    CUniqueWindow ownerWindow(
        CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, 1000, 0, 2000, 300, nullptr, nullptr, instance, nullptr));
    HWND owner = ownerWindow.Get();
    CUniqueWindow ownedWindow(
        CreateWindowExW(0, L"STATIC", L"dialog", WS_POPUP, 5, 5, 2000, 200, owner, nullptr, instance, nullptr));
    HWND owned = ownedWindow.Get();
    CUniqueWindow aloneWindow(
        CreateWindowExW(0, L"STATIC", L"dialog", WS_POPUP, 5, 5, 400, 200, nullptr, nullptr, instance, nullptr));
    HWND alone = aloneWindow.Get();
    ASSERT_TRUE(owner && owned && alone);
    HWND ownedHook = CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 1, 1, owned, nullptr, instance, nullptr);
    HWND aloneHook = CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 1, 1, alone, nullptr, instance, nullptr);

    NMHDR other = {};
    other.code = static_cast<UINT>(CDN_SELCHANGE);
    EXPECT_EQ(CenterDialogHook(ownedHook, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&other)), 0u);
    EXPECT_EQ(CenterDialogHook(ownedHook, WM_INITDIALOG, 0, 0), 0u);
    RECT rect;
    GetWindowRect(owned, &rect);
    EXPECT_EQ(rect.left, 5);

    NMHDR ready = {};
    ready.code = static_cast<UINT>(CDN_INITDONE);
    EXPECT_NE(CenterDialogHook(ownedHook, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&ready)), 0u);
    GetWindowRect(owned, &rect);
    // Past the right edge of the 1280-pixel screen, so kept on it by its right edge.
    EXPECT_EQ(rect.left, 1280 - 2000);
    EXPECT_EQ(rect.top, 50);
    EXPECT_EQ(rect.right - rect.left, 2000);

    EXPECT_NE(CenterDialogHook(aloneHook, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&ready)), 0u);
    GetWindowRect(alone, &rect);
    EXPECT_EQ(rect.left, (1280 - 400) / 2);
    EXPECT_EQ(rect.top, (1024 - 200) / 2);
}
