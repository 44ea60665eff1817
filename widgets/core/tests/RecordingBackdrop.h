// A backdrop that records what the window hands it, for the test application's window.
#pragma once
#include <vector>

#include "CBackdrop.h"
#include "TestApp.h"
#include "WidgetServices.h"

struct MouseRecord {
    CBackdrop::MouseEvent event;
    gCPoint point;
};

class RecordingBackdrop : public CBackdrop {
public:
    RecordingBackdrop() { EXPECT_EQ(m_name.SetText(L"Test Window"), kOk); }

    void UpdateCursorWidget() override { ++upkeepTicks; }
    gCResult SetSize(int32_t width, int32_t height, int32_t redraw) override
    {
        if (failSize)
            return failSize;
        return CBackdrop::SetSize(width, height, redraw);
    }

    std::vector<int32_t> keys;
    std::vector<uint32_t> keyUps;
    std::vector<MouseRecord> mice;
    std::vector<std::pair<gCPoint, gCPoint>> wheels;
    int32_t handleKeys = 0;
    int32_t heartbeats = 0;
    int32_t upkeepTicks = 0;
    gCResult failSize = 0;

protected:
    gCResult OnKeyDown(int32_t& handled, int32_t code) override
    {
        keys.push_back(code);
        handled = handleKeys;
        return kOk;
    }
    gCResult OnKeyUp(int32_t&, uint32_t key) override
    {
        keyUps.push_back(key);
        return kOk;
    }
    gCResult OnMouse(int32_t&, MouseEvent event, const gCPoint& point) override
    {
        mice.push_back({event, point});
        return kOk;
    }
    gCResult OnMouseWheel(int32_t&, const gCPoint& delta, const gCPoint& screen) override
    {
        wheels.push_back({delta, screen});
        return kOk;
    }
    gCResult OnHeartbeat() override
    {
        ++heartbeats;
        return kOk;
    }
};
