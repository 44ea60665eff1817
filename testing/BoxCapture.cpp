#include "BoxCapture.h"

#include <gtest/gtest.h>

namespace {
BoxCapture* gActive = nullptr;
std::vector<CapturedBox> gBoxes;

int CaptureBox(HWND, const wchar_t* text, const wchar_t* caption, UINT style)
{
    gBoxes.push_back({text ? text : L"", caption ? caption : L"", style});
    if (gActive && gActive->onShow)
        gActive->onShow();
    return IDOK;
}

int UnexpectedBox(HWND, const wchar_t* text, const wchar_t* caption, UINT)
{
    ADD_FAILURE() << "unexpected message box: " << testing::PrintToString(std::wstring(caption ? caption : L"")) << " "
                  << testing::PrintToString(std::wstring(text ? text : L""));
    return IDOK;
}
} // namespace

BoxCapture::BoxCapture()
{
    gBoxes.clear();
    gActive = this;
    m_previous = SetMessageBoxFunction(CaptureBox);
}

BoxCapture::~BoxCapture()
{
    SetMessageBoxFunction(m_previous);
    gActive = nullptr;
}

const std::vector<CapturedBox>& BoxCapture::Boxes() const
{
    return gBoxes;
}

void InstallUnexpectedBoxTrap()
{
    SetMessageBoxFunction(UnexpectedBox);
}
