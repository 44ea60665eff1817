// The widget base: a resource with a position rectangle in its parent's coordinates (for the
// root, the window's client area). Its resource name is the widget's name; its body is a block
// of typed chunks that gives at least its size (ResourceTags.h).
#pragma once
#include <cstdint>

#include "CRegion.h"
#include "gCGeometry.h"
#include "gCResourceObject.h"
#include "gCResult.h"
#include "gCString.h"

class CWidget : public CBodyResource {
public:
    CWidget();
    ~CWidget() override = default;
    CWidget(const CWidget&) = delete;
    CWidget& operator=(const CWidget&) = delete;

    // Keeps the top-left corner; a backdrop resizes its back buffer too. Nonzero on failure.
    virtual gCResult SetSize(int32_t width, int32_t height, int32_t redraw);
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
    CRegion m_dirty;

private:
    // The size comes from the body and keeps the widget's top-left corner. A damaged body is
    // reported (23) and leaves the size as it was.
    gCResult ReadBody(CResourceBody body) override;
};

// The rectangle moved by the point.
void RectOffset(gCRect& out, const gCRect& rect, const gCPoint& by);
