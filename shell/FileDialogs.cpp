#include "FileDialogs.h"

#include <cderr.h>
#include <commdlg.h>

#include <cwchar>

#include "AppHost.h"
#include "FileOps.h"
#include "ReportError.h"
#include "RuntimeLibrary.h"
#include "ShellHandles.h"
#include "WinHandle.h"
#include "gCFRef.h"

namespace {

// Characters of the file-name and folder buffers, terminator included.
constexpr int32_t kDialogTextUnits = 1024;

static_assert(sizeof(OPENFILENAMEW) == 88, "the dialogs' description has the full size");

// What one dialog needs to stay alive while it is open.
struct CDialogState {
    OPENFILENAMEW description = {};
    wchar_t file[kDialogTextUnits] = {};
    wchar_t folder[kDialogTextUnits] = {};
    CMemBlockT<wchar_t> filter;
    gCString defaultExtension;
};

// The dialogs' library is loaded on the first dialog, not with the program: most programs
// that link this never show one, and loading it costs their start.
class CDialogLibrary {
public:
    typedef BOOL(WINAPI* ShowFunction)(OPENFILENAMEW*);
    typedef DWORD(WINAPI* ErrorFunction)();

    CDialogLibrary() : m_library(LoadLibraryQuietly(L"comdlg32.dll"))
    {
        open = FindEntry<ShowFunction>(m_library, "GetOpenFileNameW");
        save = FindEntry<ShowFunction>(m_library, "GetSaveFileNameW");
        error = FindEntry<ErrorFunction>(m_library, "CommDlgExtendedError");
    }

    bool IsComplete() const { return open && save && error; }

    ShowFunction open = nullptr;
    ShowFunction save = nullptr;
    ErrorFunction error = nullptr;

private:
    CModule m_library;
};

const CDialogLibrary& DialogLibrary()
{
    static const CDialogLibrary library;
    return library;
}

// A text that does not fit the buffer is left out: a cut path would name another file.
void CopyIfFits(wchar_t* buffer, const gCString& text)
{
    if (text.Length() < kDialogTextUnits)
        wmemcpy(buffer, text.Text(), static_cast<size_t>(text.Length()) + 1);
}

gCResult Prepare(CDialogState& state, const gCString& text, CFileTypeList* list, DWORD flags)
{
    OPENFILENAMEW& d = state.description;
    d.lStructSize = sizeof(OPENFILENAMEW);
    IAppHost* host = GetAppHost();
    d.hwndOwner = host ? host->GetMainWindowHandle() : nullptr;
    d.Flags = flags | OFN_HIDEREADONLY | OFN_ENABLEHOOK | OFN_EXPLORER | OFN_ENABLESIZING;
    d.lpfnHook = CenterDialogHook;
    d.lpstrFile = state.file;
    d.nMaxFile = kDialogTextUnits;

    if (!text.IsEmpty()) {
        const gCFRef reference(text);
        const bool named = reference.IsValid() && !gCBasePath::GetName(reference).IsEmpty();
        CopyIfFits(named ? state.file : state.folder, text);
        if (state.folder[0])
            d.lpstrInitialDir = state.folder;
    }
    if (list) {
        QV_RETURN_IF_FAILED(BuildFileTypeFilter(*list, state.filter));
        d.lpstrFilter = state.filter.Data();
    }
    return kOk;
}

gCResult TakeChosenPath(const CDialogState& state, gCString& text)
{
    return text.SetTextN(state.file, static_cast<int32_t>(wcsnlen(state.file, kDialogTextUnits)));
}

gCResult OpenDialogFailure(DWORD code)
{
    switch (code) {
    case 0:
        return kHandled;
    case CDERR_INITIALIZATION:
    case CDERR_MEMALLOCFAILURE:
    case CDERR_MEMLOCKFAILURE:
    case CDERR_DIALOGFAILURE:
        return kCreateFailure;
    default:
        return kFileNotFound;
    }
}

gCResult SaveDialogFailure(DWORD code)
{
    switch (code) {
    case 0:
        return kHandled;
    case CDERR_STRUCTSIZE:
        return kGenericFailure;
    case CDERR_INITIALIZATION:
        return kCreateFailure;
    case CDERR_NOTEMPLATE:
    case CDERR_NOHINSTANCE:
    case CDERR_NOHOOK:
        return kBadParameter;
    case CDERR_LOADSTRFAILURE:
    case CDERR_FINDRESFAILURE:
    case CDERR_LOADRESFAILURE:
    case CDERR_LOCKRESFAILURE:
        return kResourceNotFound;
    case CDERR_MEMALLOCFAILURE:
    case CDERR_MEMLOCKFAILURE:
        return kOutOfMemory;
    default:
        return kGenericFailure;
    }
}

// An extension that can be appended to a file name: not empty and no pattern.
bool IsAppendable(const gCString& extension)
{
    return !extension.IsEmpty() && extension.FindFirstOf(gCString(L"*?")) < 0;
}

// The extension that the user gave the name part ("" when none); a name ending in "." has
// asked for none and gives ".".
gCString TypedExtension(const gCString& path)
{
    int32_t dot = -1;
    for (int32_t i = path.Length() - 1; i >= 0; --i) {
        const wchar_t c = path[i];
        if (c == L'\\' || c == L'/' || c == L':')
            break;
        if (c == L'.') {
            dot = i;
            break;
        }
    }
    gCString extension;
    // Short of memory the extension stays unset.
    (void)extension.SetText(L"");
    if (dot >= 0)
        extension = path.Mid(dot, path.Length() - dot);
    return extension;
}

} // namespace

gCResult ShowOpenFileDialog(gCString& text, CFileTypeList* list)
{
    const CDialogLibrary& library = DialogLibrary();
    if (!library.IsComplete())
        return kCreateFailure;
    CCursorStateGuard cursorState;
    CSystemCursorGuard systemCursor;
    CDialogState state;
    QV_RETURN_IF_FAILED(Prepare(state, text, list, OFN_FILEMUSTEXIST));
    if (list)
        state.description.nFilterIndex =
            static_cast<DWORD>(list->IndexOfType(static_cast<int32_t>(list->GetSelectedType())) + 1);

    if (!library.open(&state.description))
        return OpenDialogFailure(library.error());
    QV_RETURN_IF_FAILED(TakeChosenPath(state, text));
    const int32_t chosen = static_cast<int32_t>(state.description.nFilterIndex);
    if (list && chosen >= 1 && chosen <= list->FilterCount())
        // A type not in the list keeps the last selection.
        (void)list->SetSelectedType(list->GetTypeAt(chosen - 1));
    return kOk;
}

gCResult ShowSaveFileDialog(gCString& text, CFileTypeList* list)
{
    // The selected value is read as a position here; one that names no filter is refused
    // before anything reads an entry through it.
    const int32_t position = list ? static_cast<int32_t>(list->GetSelectedType()) : 0;
    if (list && (position < 0 || position >= list->FilterCount()))
        return kBadParameter;

    const CDialogLibrary& library = DialogLibrary();
    if (!library.IsComplete())
        return kCreateFailure;
    CCursorStateGuard cursorState;
    CSystemCursorGuard systemCursor;
    CDialogState state;
    QV_RETURN_IF_FAILED(Prepare(state, text, list, OFN_OVERWRITEPROMPT));
    if (list) {
        state.description.nFilterIndex = static_cast<DWORD>(position + 1);
        gCString extensions;
        const gCString first = FirstExtension(list->GetExtensionAt(extensions, position));
        if (IsAppendable(first)) {
            QV_RETURN_IF_FAILED(state.defaultExtension.SetString(first));
            state.defaultExtension.StripLeading(L'.');
            state.description.lpstrDefExt = state.defaultExtension.Text();
        }
    }

    if (!library.save(&state.description))
        return SaveDialogFailure(library.error());
    QV_RETURN_IF_FAILED(TakeChosenPath(state, text));
    if (list)
        return text.SetString(ApplySaveExtension(text, *list, static_cast<int32_t>(state.description.nFilterIndex)));
    return kOk;
}

gCString ApplySaveExtension(const gCString& chosen, const CFileTypeList& list, int32_t filterIndex)
{
    const bool isEntry = filterIndex >= 1 && filterIndex <= list.EntryCount();
    const gCString typed = TypedExtension(chosen);
    gCString extensions;
    gCString append;
    if (typed.IsEmpty()) {
        append = FirstExtension(list.GetExtensionAt(extensions, isEntry ? filterIndex - 1 : 0));
        if (append.IsEmpty())
            append = FirstExtension(list.GetExtensionAt(extensions, 0));
    } else if (isEntry && typed.Length() > 1) {
        list.GetExtensionAt(extensions, filterIndex - 1);
        if (!EndsWithOneOfExtensions(chosen, extensions))
            append = FirstExtension(extensions);
    }
    if (!IsAppendable(append))
        return chosen;
    return gCString::Concat(chosen, LowerCaseText(append));
}

gCResult AskSavePath(gCFPath& path, CFileTypeList* list)
{
    gCString text = path.GetPath();
    QV_RETURN_IF_FAILED(ShowSaveFileDialog(text, list));
    QV_RETURN_IF_FAILED(path.SetFilePath(text));
    return path.IsValid() ? kOk : kBadParameter;
}

gCResult AskOpenPath(gCFPath& path, CFileTypeList* list)
{
    gCString text = path.GetPath();
    QV_RETURN_IF_FAILED(ShowOpenFileDialog(text, list));
    if (text.IsEmpty())
        return kBadParameter;
    QV_RETURN_IF_FAILED(path.SetFilePath(text));
    return path.IsValid() ? kOk : kBadParameter;
}

gCResult OpenFileForSave(gCFile& file, gCFPath& path, CFileTypeList* list, int32_t mode)
{
    if (!path.IsValid())
        QV_RETURN_IF_FAILED(AskSavePath(path, list));
    if (!path.IsValid())
        return kBadParameter;
    return file.OpenOrCreate(path, mode);
}

gCResult OpenFileForLoad(gCFile& file, gCFPath& path, CFileTypeList* list, int32_t mode)
{
    if (!path.IsValid())
        QV_RETURN_IF_FAILED(AskOpenPath(path, list));
    if (!path.IsValid())
        return kBadParameter;
    return file.Open(path, mode);
}

gCResult OpenInShell(const gCString& text)
{
    return ShellOpen(text, gCString(L""));
}

int32_t CentreOnAxis(int32_t frameStart, int32_t frameSize, int32_t dialogSize, int32_t screenSize)
{
    int32_t start = frameStart + (frameSize - dialogSize) / 2;
    if (start < 0)
        start = 0;
    else if (start + dialogSize > screenSize)
        start = screenSize - dialogSize;
    return start;
}

UINT_PTR CALLBACK CenterDialogHook(HWND window, UINT message, WPARAM, LPARAM lParam)
{
    if (message != WM_NOTIFY)
        return 0;
    const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
    if (!header || header->code != static_cast<UINT>(CDN_INITDONE))
        return 0;

    HWND dialog = GetParent(window);
    if (!dialog)
        return 0;
    HWND owner = GetParent(dialog);
    RECT frame;
    if (!owner || !GetWindowRect(owner, &frame))
        frame = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    RECT box;
    if (!GetWindowRect(dialog, &box))
        return 0;
    CWindowDC dc(dialog);
    const int32_t screenWidth = dc.Get() ? GetDeviceCaps(dc.Get(), HORZRES) : GetSystemMetrics(SM_CXSCREEN);
    const int32_t screenHeight = dc.Get() ? GetDeviceCaps(dc.Get(), VERTRES) : GetSystemMetrics(SM_CYSCREEN);
    const int32_t x = CentreOnAxis(frame.left, frame.right - frame.left, box.right - box.left, screenWidth);
    const int32_t y = CentreOnAxis(frame.top, frame.bottom - frame.top, box.bottom - box.top, screenHeight);
    return SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}
