#include "BoxCapture.h"

#include <gtest/gtest.h>

namespace {
BoxCapture* gActive = nullptr;

std::wstring Text(const wchar_t* text)
{
    return text ? text : L"";
}

int UnexpectedBox(HWND, const wchar_t* text, const wchar_t* caption, UINT)
{
    ADD_FAILURE() << "unexpected message box: " << testing::PrintToString(Text(caption)) << " "
                  << testing::PrintToString(Text(text));
    return IDOK;
}
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
    gActive->m_boxes.push_back({Text(text), Text(caption), style});
    if (gActive->onShow)
        gActive->onShow();
    return IDOK;
}

void InstallUnexpectedBoxTrap()
{
    SetMessageBoxFunction(UnexpectedBox);
}
