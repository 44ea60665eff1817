#include "FileOps.h"

#include <direct.h>
#include <io.h>
#include <shellapi.h>

#include <cwchar>

#include "AppHost.h"

namespace {

// The working folder, in full; false when it cannot be read. A folder that fits the fixed
// buffer needs no memory.
class CSavedWorkingFolder {
public:
    bool Save()
    {
        DWORD written = GetCurrentDirectoryW(kFixedUnits, m_fixed);
        if (written > 0 && written < kFixedUnits)
            return true;
        DWORD needed = GetCurrentDirectoryW(0, nullptr);
        if (needed == 0 || m_long.Reserve(static_cast<int32_t>(needed)) != kOk)
            return false;
        written = GetCurrentDirectoryW(needed, m_long.MutableBuffer());
        if (written == 0 || written >= needed)
            return false;
        m_long.SetLength(static_cast<int32_t>(written));
        return true;
    }
    const wchar_t* Text() const { return m_long.IsUnset() ? m_fixed : m_long.Text(); }

private:
    static const DWORD kFixedUnits = 1024;
    wchar_t m_fixed[kFixedUnits];
    gCString m_long;
};

// The system's reason for the failure of the call just made, as a result code.
gCResult CopyFailureCode(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
        return kFileNotFound;
    // The system reports 80 for a copy onto an existing file; 183 is the documented one.
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return kTargetExists;
    default:
        return kStreamFailure;
    }
}

gCResult MoveFailureCode(DWORD error)
{
    return error == ERROR_SHARING_VIOLATION ? kFileOpenFailure : CopyFailureCode(error);
}

} // namespace

bool IsWholePathText(const gCString& text)
{
    return !text.IsEmpty() && std::wcslen(text.Text()) == static_cast<size_t>(text.Length());
}

bool FileTextExists(const gCString& text)
{
    return IsWholePathText(text) && _waccess(text.Text(), 0) != -1;
}

bool FolderTextExists(const gCString& text)
{
    CSavedWorkingFolder saved;
    // Never move the working folder without a way back.
    if (!IsWholePathText(text) || !saved.Save())
        return false;
    const bool entered = _wchdir(text.Text()) == 0;
    _wchdir(saved.Text());
    return entered;
}

bool FileExists(const gCBasePath& path)
{
    return FileTextExists(path.GetPath());
}

bool RelativeFileExists(const gCBasePath& path)
{
    return FileTextExists(path.GetPath());
}

bool FolderExists(const gCBasePath& folder)
{
    return FolderTextExists(folder.GetPath());
}

bool GetOwnProgramPath(wchar_t (&path)[MAX_PATH])
{
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return length > 0 && length < MAX_PATH;
}

gCResult DeletePathFile(const gCString& path)
{
    if (!IsWholePathText(path) || !DeleteFileW(path.Text()))
        return kStreamFailure;
    return kOk;
}

gCResult DeletePath(const gCBasePath& path)
{
    if (!path.IsValid())
        return kBadParameter;
    return DeletePathFile(path.GetPath());
}

gCResult CopyPathFile(const gCString& source, const gCString& target, int32_t failIfExists)
{
    if (!IsWholePathText(source) || !IsWholePathText(target))
        return kBadParameter;
    if (CopyFileW(source.Text(), target.Text(), failIfExists ? TRUE : FALSE))
        return kOk;
    return CopyFailureCode(GetLastError());
}

gCResult CopyPath(const gCBasePath& source, const gCBasePath& target, int32_t failIfExists)
{
    if (!source.IsValid() || !target.IsValid())
        return kBadParameter;
    return CopyPathFile(source.GetPath(), target.GetPath(), failIfExists);
}

namespace {
DWORD MoveFlags(MoveDurability durability)
{
    return durability == MoveDurability::kWriteThrough ? MOVEFILE_WRITE_THROUGH : 0;
}
} // namespace

gCResult MovePathFile(const gCString& source, const gCString& target, MoveDurability durability)
{
    if (!IsWholePathText(source) || !IsWholePathText(target))
        return kBadParameter;
    // As MoveFileW: across volumes by a copy.
    if (MoveFileExW(source.Text(), target.Text(), MOVEFILE_COPY_ALLOWED | MoveFlags(durability)))
        return kOk;
    return MoveFailureCode(GetLastError());
}

gCResult ReplacePathFile(const gCString& source, const gCString& target, MoveDurability durability)
{
    if (!IsWholePathText(source) || !IsWholePathText(target))
        return kBadParameter;
    if (MoveFileExW(source.Text(), target.Text(), MOVEFILE_REPLACE_EXISTING | MoveFlags(durability)))
        return kOk;
    return MoveFailureCode(GetLastError());
}

gCResult ShellResultCode(INT_PTR shellResult)
{
    if (shellResult > 32)
        return kOk;
    switch (shellResult) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return kFileNotFound;
    case ERROR_ACCESS_DENIED:
    case SE_ERR_SHARE:
    case SE_ERR_ASSOCINCOMPLETE:
    case SE_ERR_NOASSOC:
        return kBadParameter;
    case SE_ERR_OOM:
        return kOutOfMemory;
    case ERROR_BAD_FORMAT:
        return kDamagedObject;
    default:
        // 0 (out of resources), the DDE failures and a missing DLL: nothing was started.
        return kGenericFailure;
    }
}

gCResult ShellOpen(const gCString& fileOrAddress, const gCString& parameters)
{
    if (!IsWholePathText(fileOrAddress) || std::wcslen(parameters.Text()) != static_cast<size_t>(parameters.Length()))
        return kBadParameter;
    const IAppHost* host = GetAppHost();
    HWND owner = host ? host->GetMainWindowHandle() : nullptr;
    HINSTANCE result = ShellExecuteW(owner, L"open", fileOrAddress.Text(), parameters.Text(), nullptr, SW_SHOWNORMAL);
    return ShellResultCode(reinterpret_cast<INT_PTR>(result));
}
