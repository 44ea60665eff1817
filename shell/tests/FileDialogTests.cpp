// File-type lists, the filter text built from them and the save dialog's extension rule; then
// the real open and save dialogs under Xvfb, driven by a script that picks a filter, types a
// name and presses OK or Cancel. Whatever happens, every dialog the call opened is closed.
#include <gtest/gtest.h>

#include "ResultAssert.h"

#include <windows.h>

#include <commdlg.h>
#include <dlgs.h>

#include <string>

#include "FailingAllocator.h"
#include "FileDialogs.h"
#include "TempFolder.h"
#include "TestApp.h"
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

// Filters 1 to 5: two custom entries, types 3 and 9, "All Files".
void MakeTypes(CFileTypeList& list)
{
    ASSERT_OK(list.AddStandardType(3));
    ASSERT_OK(list.AddStandardType(9));
    ASSERT_OK(list.AddCustomType(500, gCString(L"Pictures"), gCString(L".PNG,,.jpg,")));
    ASSERT_OK(list.AddCustomType(600, gCString(L"Archives"), gCString(L".tar.gz,.tgz")));
    list.SetAllFiles(1);
}
} // namespace

// Custom entries come first, and comma lists become pattern lists.
TEST(FileTypeFilter, CustomEntriesStandardTypesAndAllFiles)
{
    CFileTypeList list;
    MakeTypes(list);
    CMemBlockT<wchar_t> filter;
    ASSERT_OK(BuildFileTypeFilter(list, filter));
    const wchar_t expected[] = L"Pictures\0*.PNG;*.jpg\0Archives\0*.tar.gz;*.tgz\0BMP Image (*.bmp)\0*.bmp\0"
                               L"Text File (*.txt)\0*.txt\0All Files (*.*)\0*.*\0\0";
    EXPECT_EQ(std::wstring(filter.Data(), static_cast<size_t>(filter.Count())),
              std::wstring(expected, sizeof expected / sizeof expected[0] - 1));
    CMemBlockT<wchar_t> starved;
    gCResult result;
    {
        FailingAllocator failing(0);
        result = BuildFileTypeFilter(list, starved);
    }
    EXPECT_RESULT(result, kOutOfMemory);
}

TEST(FileTypeList, OnlyTypesWithExtensionsAreAccepted)
{
    CFileTypeList list;
    for (uint32_t row : {0u, 2u, 7u, 22u, 23u, 0xFFFFFFFFu})
        EXPECT_RESULT(list.AddStandardType(row), kBadParameter) << row;
    for (uint32_t row : {1u, 21u})
        EXPECT_OK(list.AddStandardType(row)) << row;
    for (const wchar_t* extensions : {L"", L",,"})
        EXPECT_RESULT(list.AddCustomType(7, gCString(L"None"), gCString(extensions)), kBadParameter);
    EXPECT_EQ(list.FilterCount(), 2);
}

TEST(FileTypeList, PositionsTypesAndExtensions)
{
    CFileTypeList list;
    MakeTypes(list);
    struct Row {
        int32_t position;
        uint32_t type;
        const wchar_t* extension;
    };
    const Row rows[] = {{-1, 1, L""}, {0, 500, L".PNG,,.jpg,"}, {2, 3, L".bmp"}, {4, 1, L""}, {5, 1, L""}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.position);
        EXPECT_EQ(list.GetTypeAt(row.position), row.type);
        gCString extension(L"before");
        EXPECT_EQ(W(list.GetExtensionAt(extension, row.position)), row.extension);
    }
    const std::pair<int32_t, int32_t> indices[] = {{-1, 4}, {500, 0}, {9, 3}, {1, 4}, {15, -1}};
    for (const auto& index : indices)
        EXPECT_EQ(list.IndexOfType(index.first), index.second) << index.first;

    // Type 1 keeps the position after the entries without "All Files" at the end.
    list.SetAllFiles(0);
    EXPECT_EQ(list.IndexOfType(1), 4);
}

TEST(SaveExtension, AppendsTheChosenFiltersFirstExtensionWhenTheNameLacksIt)
{
    CFileTypeList list;
    MakeTypes(list);
    struct Row {
        const wchar_t* chosen;
        int32_t filter;
        const wchar_t* result;
    };
    const Row rows[] = {
        {L"C:\\a\\NAME.TXT", 4, L"C:\\a\\NAME.TXT"},
        {L"C:\\a\\name.bmp", 4, L"C:\\a\\name.bmp.txt"},
        {L"C:\\a.b\\name", 4, L"C:\\a.b\\name.txt"},
        {L"C:\\a\\name.", 4, L"C:\\a\\name."},
        // "All Files" and indices that name no entry fall back to the first entry.
        {L"C:\\a\\name", 5, L"C:\\a\\name.png"},
        {L"C:\\a\\name.xyz", 5, L"C:\\a\\name.xyz"},
        // A comma list gives its first extension, and any of its extensions counts as typed.
        {L"C:\\a\\pic.JPG", 1, L"C:\\a\\pic.JPG"},
        // An extension with a dot of its own is present when the name ends with it.
        {L"C:\\a\\data.TAR.GZ", 2, L"C:\\a\\data.TAR.GZ"},
        {L"C:\\a\\data.gz", 2, L"C:\\a\\data.gz.tar.gz"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(row.chosen)) + " filter " + std::to_string(row.filter));
        EXPECT_EQ(W(ApplySaveExtension(gCString(row.chosen), list, row.filter)), row.result);
    }
}

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

TEST(OpenDialog, TheChosenFilterGivesTheSelectedType)
{
    TempFolder scratch;
    ASSERT_TRUE(WriteWholeFile(scratch.File(L"pick.txt"), Bytes{'x'}));
    CFileTypeList list;
    MakeTypes(list);
    DialogScript script;
    script.filter = 4;
    script.name = W(scratch.File(L"pick.txt"));
    gCString text;
    EXPECT_OK(Driven(script, [&] { return ShowOpenFileDialog(text, &list); }));
    EXPECT_EQ(list.GetSelectedType(), 9u);
}

// The dialog is centred on the main window but kept on the screen: at the top left under a
// window there, at the bottom right under one at the bottom right.
TEST(SaveDialog, TheChosenEntryReachesTheExtensionRuleAndTheDialogStaysOnTheScreen)
{
    TempFolder scratch;
    TestApp app;
    ASSERT_OK(app.OpenPlainWindow());
    CFileTypeList texts;
    MakeTypes(texts);
    struct Row {
        uint32_t position;
        int filter;
        const wchar_t* typed;
        const wchar_t* saved;
        bool bottomRight;
    };
    // A dialog would not add its default extension to the first name.
    for (const Row& row : {Row{3, 0, L"name.bmp", L"name.bmp.txt", false}, Row{2, 4, L"chosen", L"chosen.txt", true}}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(row.typed)));
        EXPECT_OK(texts.SetSelectedType(row.position));
        SetWindowPos(app.GetMainWindowHandle(), nullptr, row.bottomRight ? 960 : 0, row.bottomRight ? 824 : 0, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER);
        DialogScript script;
        script.filter = row.filter;
        script.name = scratch.Path() + row.typed;
        gCString text;
        EXPECT_OK(Driven(script, [&] { return ShowSaveFileDialog(text, &texts); }));
        EXPECT_EQ(script.initialFilter, static_cast<int>(row.position));
        EXPECT_EQ(W(text), scratch.Path() + row.saved);
        EXPECT_EQ(texts.GetSelectedType(), row.position);
        EXPECT_EQ(script.rect.left, row.bottomRight ? 1280 - (script.rect.right - script.rect.left) : 0);
        EXPECT_EQ(script.rect.top, row.bottomRight ? 1024 - (script.rect.bottom - script.rect.top) : 0);
    }
}

TEST(SaveDialog, PositionsThatNameNoFilterAreRefusedWithoutADialog)
{
    CFileTypeList list;
    MakeTypes(list);
    for (uint32_t position : {5u, 0xFFFFFFFFu, 0x80000000u}) {
        EXPECT_OK(list.SetSelectedType(position));
        gCString text(L"C:\\kept.txt");
        EXPECT_RESULT(ShowSaveFileDialog(text, &list), kBadParameter) << position;
        EXPECT_EQ(W(text), L"C:\\kept.txt");
    }
}

TEST(SaveDialog, AValidPathOpensWithoutADialog)
{
    TempFolder scratch;
    DialogScript script;
    script.cancel = true;
    gCFile file;
    gCFRef path(gCString((scratch.Path() + L"out.bin").c_str()));
    EXPECT_OK(Driven(script, [&] { return OpenFileForSave(file, path, nullptr, kAccessWrite); }));
    EXPECT_FALSE(script.found);
    EXPECT_TRUE(file.IsOpen());
}
