// The widget base: a named command target with a position rectangle in its parent's
// coordinates (for the root, the window's client area).
#pragma once
#include <cstdint>

#include "CRegion.h"
#include "gCCmdTarget.h"
#include "gCGeometry.h"
#include "gCResult.h"
#include "gCString.h"

class CWidget : public gCCmdTarget {
public:
    CWidget() = default;
    ~CWidget() override = default;
    CWidget(const CWidget&) = delete;
    CWidget& operator=(const CWidget&) = delete;

    int32_t GetWidth() const { return m_position.Width(); }
    int32_t GetHeight() const { return m_position.Height(); }
    const gCRect& GetPosition() const { return m_position; }
    void SetPosition(const gCRect& position) { m_position = position; }
    const gCString& GetWidgetName() const { return m_name; }
    gCResult SetWidgetName(const gCString& name) { return m_name.SetString(name); }

    // Marks an area, in the widget's own coordinates, for the next Present; only what lies
    // inside the widget counts.
    void Invalidate(const gCRect& area);
    void InvalidateAll() { Invalidate({0, 0, GetWidth(), GetHeight()}); }
    const CRegion& GetDirtyRegion() const { return m_dirty; }

    // Draws what is dirty and puts it on the screen at once, without waiting for a paint.
    virtual gCResult Present() { return kOk; }

protected:
    gCRect m_position;
    gCString m_name;
    CRegion m_dirty;
};

// The rectangle moved by the point.
void RectOffset(gCRect& out, const gCRect& rect, const gCPoint& by);
