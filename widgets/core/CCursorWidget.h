// The application's own cursor: an arrow that the backdrop draws over what it puts on the
// screen while the system cursor is hidden. Its position is its rectangle in the backdrop's
// coordinates; its picture is the arrow over what lies under it.
#pragma once
#include "CImageBase.h"
#include "CWidget.h"

class CCursorWidget : public CWidget {
public:
    static const int32_t kWidth = 12;
    static const int32_t kHeight = 19;

    CCursorWidget();

    // Puts the arrow's tip on the point.
    void MoveTo(const gCPoint& tip);
    // Draws the arrow over the part of the back buffer that it covers, into its picture.
    gCResult Render(const CImageBase& backBuffer);
    CImageBase& GetPicture() { return m_picture; }

private:
    CImageBase m_picture;
};
