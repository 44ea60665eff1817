#include "FileOps.h"

#include <direct.h>
#include <io.h>

#include <cwchar>

namespace
{

// A text with an embedded 0 would reach the system cut short, as another path.
bool IsWholeText(const gCString& text)
{
    return !text.IsEmpty() && std::wcslen(text.Text()) == static_cast<size_t>(text.Length());
}

bool PathTextExists(const gCString& text)
{
    return IsWholeText(text) && _waccess(text.Text(), 0) != -1;
}

// The working folder, in full; false when it cannot be read.
bool SaveWorkingFolder(gCString& out)
{
    DWORD needed = GetCurrentDirectoryW(0, nullptr);
    if (needed == 0 || out.Reserve(static_cast<int32_t>(needed)) != 0)
        return false;
    DWORD written = GetCurrentDirectoryW(needed, out.MutableBuffer());
    if (written == 0 || written >= needed)
        return false;
    out.SetLength(static_cast<int32_t>(written));
    return true;
}

} // namespace

bool FileExists(const gCBasePath& path)
{
    return PathTextExists(path.GetPath());
}

bool RelativeFileExists(const gCBasePath& path)
{
    return PathTextExists(path.GetPath());
}

bool FolderExists(const gCBasePath& folder)
{
    gCString text = folder.GetPath();
    gCString saved;
    // Never move the working folder without a way back.
    if (!IsWholeText(text) || !SaveWorkingFolder(saved))
        return false;
    const bool entered = _wchdir(text.Text()) == 0;
    _wchdir(saved.Text());
    return entered;
}
