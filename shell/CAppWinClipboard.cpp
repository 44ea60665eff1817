// The clipboard as Unicode text, opened for the main window.
#include <cstring>
#include <cwchar>

#include "CAppWin.h"
#include "ShellHandles.h"

gCResult CAppWin::SetClipboardText(gCString text)
{
    CClipboardSession clipboard(GetMainWindowHandle());
    if (!clipboard.IsOpen())
        return kCreateFailure;
    if (!EmptyClipboard())
        return kCreateFailure;

    const SIZE_T bytes = 2 * static_cast<SIZE_T>(text.Length()) + 2;
    CGlobalMemory block(GlobalAlloc(GMEM_MOVEABLE, bytes));
    if (!block.IsValid())
        return kCreateFailure;
    {
        CGlobalLock lock(block.Get());
        if (!lock.Data())
            return kCreateFailure;
        std::memcpy(lock.Data(), text.Text(), bytes);
    }
    if (!SetClipboardData(CF_UNICODETEXT, block.Get()))
        return kCreateFailure;
    // The clipboard owns the block now.
    (void)block.Release();
    return kOk;
}

gCResult CAppWin::GetClipboardText(gCString& text)
{
    const bool unicode = IsClipboardFormatAvailable(CF_UNICODETEXT) != 0;
    if (!unicode && !IsClipboardFormatAvailable(CF_TEXT))
        return kHandled;
    CClipboardSession clipboard(GetMainWindowHandle());
    if (!clipboard.IsOpen())
        return kCreateFailure;
    HANDLE data = GetClipboardData(unicode ? CF_UNICODETEXT : CF_TEXT);
    if (!data)
        return kCreateFailure;
    CGlobalLock lock(data);
    if (!lock.Data())
        return kCreateFailure;

    // Another program's block need not hold its terminator: read no further than the block.
    if (unicode) {
        const wchar_t* units = static_cast<const wchar_t*>(lock.Data());
        const size_t length = wcsnlen(units, lock.Size() / sizeof(wchar_t));
        return text.SetTextN(units, static_cast<int32_t>(length));
    }
    const char* bytes = static_cast<const char*>(lock.Data());
    const size_t length = strnlen(bytes, lock.Size());
    return text.SetAnsiN(bytes, static_cast<int32_t>(length));
}
