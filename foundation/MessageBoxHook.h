// Every message box of the program goes through ShowMessageBox, so tests can capture the
// box instead of blocking on a real one.
#pragma once
#include <windows.h>

typedef int (*MessageBoxFn)(HWND owner, const wchar_t* text, const wchar_t* caption, UINT style);

// Returns the function that was in place.
MessageBoxFn SetMessageBoxFunction(MessageBoxFn fn);
int ShowMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT style);
