// The real open and save dialogs under Xvfb, driven from a helper thread: it waits for the
// dialog, picks a filter, types a name and presses OK or Cancel. Whatever happens, every dialog
// of the test's thread is closed before the test goes on.
#include <gtest/gtest.h>

#include "ResultAssert.h"

#include <windows.h>

#include <commdlg.h>
#include <dlgs.h>

#include <string>

#include "FileDialogs.h"
#include "TempFolder.h"
#include "Expect.h"
#include "gCFRef.h"

namespace {
struct DialogScript {
    int filter = 0;    // 1-based filter to choose; 0 leaves it
    std::wstring name; // typed into the name field when not empty
    bool cancel = false;
    // What the script saw.
    bool found = false;
    RECT rect = {};
    int initialFilter = -1;
    std::wstring initialName;
};

DialogScript* gScript = nullptr;

BOOL CALLBACK TakeVisibleDialog(HWND window, LPARAM out)
{
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (!IsWindowVisible(window) || std::wstring(name) != L"#32770")
        return TRUE;
    *reinterpret_cast<HWND*>(out) = window;
    return FALSE;
}

// Runs on a thread timer inside the dialog's own message loop: plays the script on the first
// dialog it finds and cancels any dialog after it (a refused name's message box, a dialog that
// ignored the script).
void CALLBACK PlayScript(HWND, UINT, UINT_PTR, DWORD)
{
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), TakeVisibleDialog, reinterpret_cast<LPARAM>(&dialog));
    DialogScript& script = *gScript;
    if (dialog && script.found) {
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        PostMessageW(dialog, WM_CLOSE, 0, 0);
    }
    if (!dialog || script.found)
        return;
    script.found = true;
    GetWindowRect(dialog, &script.rect);
    HWND filters = GetDlgItem(dialog, cmb1);
    script.initialFilter = static_cast<int>(SendMessageW(filters, CB_GETCURSEL, 0, 0));
    HWND nameField = GetDlgItem(dialog, cmb13) ? GetDlgItem(dialog, cmb13) : GetDlgItem(dialog, edt1);
    wchar_t name[1024] = {};
    GetWindowTextW(nameField, name, 1024);
    script.initialName = name;
    if (script.filter > 0) {
        SendMessageW(filters, CB_SETCURSEL, static_cast<WPARAM>(script.filter - 1), 0);
        // As a user's pick sends them; dialogs differ in which one they act on.
        for (WORD notification : {CBN_SELCHANGE, CBN_SELENDOK})
            SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(cmb1, notification), reinterpret_cast<LPARAM>(filters));
    }
    if (!script.name.empty())
        SendMessageW(nameField, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(script.name.c_str()));
    const int button = script.cancel ? IDCANCEL : IDOK;
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
}

// Runs the dialog call while the script plays every 300 ms, which leaves a new dialog the
// time to finish its start-up, the hook's placement included.
template <typename Show>
gCResult Driven(DialogScript& script, Show show)
{
    gScript = &script;
    const UINT_PTR timer = SetTimer(nullptr, 0, 300, PlayScript);
    const gCResult result = show();
    KillTimer(nullptr, timer);
    return result;
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
        EXPECT_EQ(script.rect.left, (1280 - (script.rect.right - script.rect.left)) / 2);
        EXPECT_EQ(script.rect.top, (1024 - (script.rect.bottom - script.rect.top)) / 2);
    }
}

TEST(SaveDialog, TheChosenEntryReachesTheExtensionRule)
{
    TempFolder scratch;
    CFileTypeList texts;
    MakeBmpTxtAll(texts);
    struct Row {
        uint32_t position;
        int filter;
        const wchar_t* typed;
        const wchar_t* saved;
    };
    // A dialog would not add its default extension to the first name.
    for (const Row& row : {Row{1, 0, L"name.bmp", L"name.bmp.txt"}, Row{0, 2, L"chosen", L"chosen.txt"}}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(row.typed)));
        EXPECT_OK(texts.SetSelectedType(row.position));
        DialogScript script;
        script.filter = row.filter;
        script.name = scratch.Path() + row.typed;
        gCString text;
        EXPECT_OK(Driven(script, [&] { return ShowSaveFileDialog(text, &texts); }));
        EXPECT_EQ(script.initialFilter, static_cast<int>(row.position));
        EXPECT_EQ(W(text), scratch.Path() + row.saved);
        EXPECT_EQ(texts.GetSelectedType(), row.position);
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
        gCFile file;
        gCFRef path(gCString(named ? (scratch.Path() + L"out.bin").c_str() : L""));
        EXPECT_RESULT(Driven(script, [&] { return OpenFileForSave(file, path, nullptr, kAccessWrite); }),
                      named ? kOk : kHandled);
        EXPECT_EQ(script.found, !named);
        EXPECT_EQ(file.IsOpen(), named);
        EXPECT_EQ(path.IsValid(), named);
    }
}
