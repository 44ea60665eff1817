// Captures every message box of the program for the life of the object; no real box opens.
#pragma once
#include <string>
#include <vector>

#include "MessageBoxHook.h"

struct CapturedBox {
    std::wstring text;
    std::wstring caption;
    UINT style;
};

class BoxCapture {
public:
    BoxCapture();
    ~BoxCapture();
    BoxCapture(const BoxCapture&) = delete;
    BoxCapture& operator=(const BoxCapture&) = delete;

    const std::vector<CapturedBox>& Boxes() const { return m_boxes; }
    // Called while a box is "open"; lets tests raise a nested report.
    void (*onShow)() = nullptr;

private:
    static int Capture(HWND, const wchar_t* text, const wchar_t* caption, UINT style);

    MessageBoxFn m_previous;
    std::vector<CapturedBox> m_boxes;
};
