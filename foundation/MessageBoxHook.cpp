#include "MessageBoxHook.h"

namespace {
int SystemMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT style)
{
    return MessageBoxW(owner, text, caption, style);
}

MessageBoxFn gMessageBox = SystemMessageBox;
} // namespace

MessageBoxFn SetMessageBoxFunction(MessageBoxFn fn)
{
    MessageBoxFn old = gMessageBox;
    gMessageBox = fn ? fn : SystemMessageBox;
    return old;
}

int ShowMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT style)
{
    return gMessageBox(owner, text, caption, style);
}
