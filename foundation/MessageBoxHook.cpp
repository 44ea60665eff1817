#include "MessageBoxHook.h"

#include "ReplaceableHook.h"

namespace {
int SystemMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT style)
{
    return MessageBoxW(owner, text, caption, style);
}

CReplaceableHook<MessageBoxFn> gMessageBox(SystemMessageBox);
} // namespace

MessageBoxFn SetMessageBoxFunction(MessageBoxFn fn)
{
    return gMessageBox.Set(fn);
}

int ShowMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT style)
{
    return gMessageBox.Get()(owner, text, caption, style);
}
