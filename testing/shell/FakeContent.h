// A window content for the shell's tests: it records every event the window hands it, keeps
// a 32-bit back buffer of its own that the window paints from, and lets the test set its
// flags (framed, layered, a modal on top) and make resizing fail.
#pragma once
#include <utility>
#include <vector>

#include "IWindowContent.h"
#include "WinHandle.h"

class FakeContent : public IWindowContent {
public:
    enum MouseEvent { kMove, kLDown, kLUp, kMDown, kMUp, kRDown, kRUp };

    int32_t GetWidth() const override { return m_width; }
    int32_t GetHeight() const override { return m_height; }
    // A size with no pixels keeps no back buffer; failSize, when set, fails every resize.
    gCResult SetSize(int32_t width, int32_t height, int32_t redraw) override;
    gCPoint GetNaturalSize() const override { return {320, 200}; }
    gCString GetContentName() const override { return gCString(L"Test Window"); }
    gCPoint LocalToScreen(const gCPoint& local) const override { return local; }
    bool IsFramed() const override { return framed; }
    bool IsFullMonitor() const override { return false; }
    bool IsLayered() const override { return layered; }
    bool HasModal() const override { return modal; }
    HDC GetBackBufferDC() override { return m_dc.Get(); }
    void ReleaseBackBufferDC() override {}
    void SetWindow(CWindowBase* window) override { m_window = window; }
    CWindowBase* GetWindow() const override { return m_window; }
    gCCmdTarget* AsCmdTarget() override { return nullptr; }

    gCResult DispatchKeyDown(int32_t& handled, int32_t code) override;
    gCResult DispatchKeyUp(int32_t&, uint32_t key) override { return Note(keyUps, static_cast<int32_t>(key)); }
    gCResult DispatchTimer(int32_t&, uint32_t) override { return kOk; }
    gCResult DispatchMouseMove(int32_t&, const gCPoint& p) override { return Note(mice, {kMove, p}); }
    gCResult DispatchLButtonDown(int32_t&, const gCPoint& p) override { return Note(mice, {kLDown, p}); }
    gCResult DispatchLButtonUp(int32_t&, const gCPoint& p) override { return Note(mice, {kLUp, p}); }
    gCResult DispatchMButtonDown(int32_t&, const gCPoint& p) override { return Note(mice, {kMDown, p}); }
    gCResult DispatchMButtonUp(int32_t&, const gCPoint& p) override { return Note(mice, {kMUp, p}); }
    gCResult DispatchRButtonDown(int32_t&, const gCPoint& p) override { return Note(mice, {kRDown, p}); }
    gCResult DispatchRButtonUp(int32_t&, const gCPoint& p) override { return Note(mice, {kRUp, p}); }
    gCResult DispatchMouseWheel(int32_t&, const gCPoint& delta, const gCPoint& at) override
    {
        return Note(wheels, {delta, at});
    }
    gCResult DispatchHeartbeat() override;
    void UpdateRollover() override {}
    void ClearRollover() override {}
    uint32_t BroadcastMessage(uint32_t, uint32_t, uint32_t) override { return 0; }
    void HideCursor() override { m_cursorShown = 0; }
    void ShowCursor() override { m_cursorShown = 1; }
    int32_t IsCursorShown() const override { return m_cursorShown; }
    void UpdateCursorWidget() override { ++upkeepTicks; }
    void SetReady() override {}
    gCResult OnWindowOpen() override { return kOk; }
    void OnWindowDetach() override {}

    // Fills every pixel of the back buffer (0xAARRGGBB).
    void Fill(uint32_t pixel);

    bool framed = false;
    bool layered = false;
    bool modal = false;
    int32_t handleKeys = 0;
    gCResult failSize = kOk;

    std::vector<int32_t> keys;
    std::vector<int32_t> keyUps;
    std::vector<std::pair<MouseEvent, gCPoint>> mice;
    std::vector<std::pair<gCPoint, gCPoint>> wheels;
    int32_t heartbeats = 0;
    int32_t upkeepTicks = 0;

private:
    template <typename List>
    static gCResult Note(List& list, typename List::value_type item)
    {
        list.push_back(item);
        return kOk;
    }

    int32_t m_width = 0;
    int32_t m_height = 0;
    int32_t m_cursorShown = 0;
    CWindowBase* m_window = nullptr;
    uint32_t* m_pixels = nullptr;
    // The bitmap outlives the DC it is selected into.
    CBitmapHandle m_bitmap;
    CMemoryDC m_dc;
    CSelectGuard m_selected; // ends first: the bitmap leaves the DC before either goes
};
