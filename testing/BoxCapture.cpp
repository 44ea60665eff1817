#include "BoxCapture.h"

namespace {
BoxCapture* gActive = nullptr;
} // namespace

BoxCapture::BoxCapture() : m_previous(SetMessageBoxFunction(Capture))
{
    gActive = this;
}

BoxCapture::~BoxCapture()
{
    SetMessageBoxFunction(m_previous);
    gActive = nullptr;
}

int BoxCapture::Capture(HWND, const wchar_t* text, const wchar_t* caption, UINT style)
{
    gActive->m_boxes.push_back({text ? text : L"", caption ? caption : L"", style});
    if (gActive->onShow)
        gActive->onShow();
    return IDOK;
}
