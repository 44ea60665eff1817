#include "ReportError.h"

#include <windows.h>

#include "AppHost.h"
#include "MessageBoxHook.h"
#include "gCString.h"

namespace {

const char* const kResultTexts[32] = {
    "Success!",
    "Generic Failure.",
    "Handled result.",
    "Operation completed successfully",
    "User has cancelled operation.",
    "Not enough memory to perform action.",
    "Bad parameter has been passed.",
    "An object couldn't be accessed because it was busy or in use already.",
    "A function call has been made to an object that is invalid.",
    "A file could not be located.",
    "The function has not been written yet.",
    "A system preference couldn't be read/written.",
    "A parameter was out of sensible range.",
    "A buffer has been accessed past its end.",
    "An error occurred opening the requested file.",
    "An error occurred on attempting to close a file stream.",
    "An error occurred on attempting to read/write data from/to a file stream.",
    "The file being accessed is invalid.",
    "The target file already existed.",
    "An error occurred on attempting to return a path name.",
    "An error occurred parsing data from a text resource file.",
    "An error occurred writing data to a binary resource file.",
    "A requested resource was not found.",
    "An error occurred reading data from a binary resource file.",
    "An error occurred on attempting to create an object.",
    "The object being accessed is damaged (overwritten?).",
    "Whatever you did, it was in really bad taste,\nwe implore you to reconsider.",
    "A network operation has failed - not fatal, execution may continue",
    "A network error occurred - networking is probably no longer functional.",
    "An object which has a key value that's already present in the dictionary cannot be inserted.",
    "The comparison callback for this dictionary returned an invalid result.",
    "An action that required a valid key to be found failed due to no key of that value being "
    "present in the dictionary.",
};

int32_t gReporting = 0;

} // namespace

const char* GetResultText(gCResult code)
{
    const int32_t n = code;
    return kResultTexts[n < 0 || n > kKeyNotFound ? kGenericFailure : n];
}

void CScopedRestore::Restore()
{
    if (m_armed && m_guarded) {
        *m_guarded = m_saved;
        m_guarded = nullptr;
    }
}

CAppActiveGuard::CAppActiveGuard() : m_wasEnabled(0)
{
    if (IAppHost* host = GetAppHost()) {
        m_wasEnabled = host->IsHeartbeatWorkEnabled() ? 1 : 0;
        host->DisableHeartbeatWork();
    }
}

CAppActiveGuard::~CAppActiveGuard()
{
    IAppHost* host = GetAppHost();
    if (host && m_wasEnabled)
        host->EnableHeartbeatWork();
}

CSystemCursorGuard::CSystemCursorGuard() : m_wasShown(1)
{
    if (IAppHost* host = GetAppHost()) {
        m_wasShown = host->IsSystemCursorShown() ? 1 : 0;
        host->ShowSystemCursor();
    }
}

CSystemCursorGuard::~CSystemCursorGuard()
{
    IAppHost* host = GetAppHost();
    if (host && !m_wasShown)
        host->HideSystemCursor();
}

CCursorStateGuard::CCursorStateGuard() : m_systemShown(0), m_ownShowing(0)
{
    if (IAppHost* host = GetAppHost()) {
        m_systemShown = host->IsSystemCursorShown() ? 1 : 0;
        m_ownShowing = host->IsOwnCursorShowing() ? 1 : 0;
        host->HideAllCursors();
    }
}

CCursorStateGuard::~CCursorStateGuard()
{
    IAppHost* host = GetAppHost();
    if (!host)
        return;
    if (m_systemShown)
        host->ShowSystemCursor();
    else if (m_ownShowing)
        host->ShowAppCursor();
}

void ReportError(gCResult code, const char* detail)
{
    if (gReporting)
        return;
    gReporting = 1;
    CScopedRestore reentry(&gReporting, 0);
    CCursorStateGuard cursorState;
    CSystemCursorGuard systemCursor;
    CAppActiveGuard appActive;

    IAppHost* host = GetAppHost();
    HWND owner = host ? host->GetMainWindowHandle() : nullptr;
    if (owner) {
        for (UINT_PTR id = 0; id < 32; ++id)
            KillTimer(owner, id);
    }

    gCString text;
    // A text short of memory still shows the box.
    (void)text.SetAnsi(GetResultText(code));
    if (detail) {
        gCString line;
        (void)line.SetAnsi(detail);
        (void)text.AppendChar(L'\n');
        (void)text.Append(line);
    }
    ShowMessageBox(owner, text.Text(), L"Error.", MB_OK);
}
