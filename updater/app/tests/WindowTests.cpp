// The updater's window on a real window under Xvfb: the engine's view messages, scrolling by
// keys and wheel, the main button, and what reaches the screen, read back from it.
#include <gtest/gtest.h>

#include "ResultAssert.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "CQuorvelUpdaterBackdrop.h"
#include "EndToEnd.h"
#include "Expect.h"
#include "TempFolder.h"
#include "TestApp.h"
#include "UpdaterMessages.h"
#include "WidgetServices.h"
#include "WinHandle.h"

namespace {
class RecordingOwner : public IUpdaterWindowOwner {
public:
    void OnCheckWanted() override { ++checks; }
    void OnMainButton() override { ++buttons; }
    void OnWindowClosed() override { ++closed; }
    gCString Text(uint32_t n) const override { return gCString::AppendNumber(gCString(L"text "), int32_t(n)); }
    int checks = 0;
    int buttons = 0;
    int closed = 0;
};

class Sender : public gCCmdTarget {};

class UpdaterWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_OK(log.Open(folder.File(L"UpdateResults.log")));
        backdrop = new CQuorvelUpdaterBackdrop(&owner, &log);
        SetViewMessageTarget(backdrop);
        ASSERT_OK(backdrop->OpenFonts()) << "no Arial or Arial-metric face in the fonts folder";
        ASSERT_OK(app.OpenTestWindow(backdrop));
        window = app.GetMainWindowHandle();
        PumpFor(100);
    }
    uint32_t Send(uint32_t id, uint32_t a, uint32_t b, uint32_t c = 0) { return sender.SendToView(id, a, b, c); }
    uint32_t Line(const wchar_t* text, uint32_t colour, uint32_t id = kMsgStatusLine)
    {
        gCString line(text);
        return Send(id, MessageWord(&line), colour);
    }

    TestApp app{GetWidgetServices()};
    TempFolder folder;
    CResultsLog log;
    RecordingOwner owner;
    Sender sender;
    CQuorvelUpdaterBackdrop* backdrop = nullptr;
    HWND window = nullptr;
};
} // namespace

TEST_F(UpdaterWindow, ViewMessagesBecomeRowsLogLinesProgressAndCaption)
{
    EXPECT_EQ(W(GetMainWindow()->GetTitle()), L"Quorvel Updater");
    EXPECT_EQ(Line(L"Looking up server...", 0xFF000000), 0u);
    EXPECT_EQ(Line(L"Unknown fail reason, header not found", 0xFFFF0000), 0u);
    EXPECT_EQ(Line(L"Download couldn't be started!", 0xFFFF0000, kMsgReportClosingLine), 0u);
    EXPECT_EQ(Send(kMsgUpdaterSendSeen, 0, 0), 0u);

    const CStatusList& list = backdrop->GetStatusList();
    const struct {
        const wchar_t* text;
        uint32_t colour;
    } rows[] = {{L"Looking up server...", 0xFF000000},
                {L"Unknown fail reason, header not found", 0xFFFF0000},
                {L"Download couldn't be started!", 0xFFFF0000},
                {L"text 51", 0xFF800000}};
    ASSERT_EQ(list.Count(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(W(list.At(i).text), rows[i].text);
        EXPECT_EQ(list.At(i).colour, rows[i].colour);
    }
    EXPECT_EQ(W(backdrop->GetCaption()), L"Download couldn't be started!");
    EXPECT_EQ(ReadWholeFile(folder.File(L"UpdateResults.log")),
              Ansi("Looking up server...\r\nUnknown fail reason, header not found\r\nDownload couldn't be "
                   "started!\r\ntext 51\r\n"));

    // Percent as a signed 64-bit value in b (low) and c (high).
    const struct {
        uint32_t low, high;
        float fraction;
    } progress[] = {{0, 0, 0.0f}, {42, 0, 0.42f}, {100, 0, 1.0f}, {0xFFFFFFFF, 0xFFFFFFFF, 0.0f}, {250, 0, 1.0f}};
    EXPECT_FALSE(backdrop->IsProgressShown());
    for (const auto& p : progress) {
        EXPECT_EQ(Send(kMsgProgress, 0, p.low, p.high), 0u);
        EXPECT_FLOAT_EQ(backdrop->GetProgress(), p.fraction) << p.low;
    }
    EXPECT_TRUE(backdrop->IsProgressShown());

    backdrop->SetButtonOpacity(0.45f);
    EXPECT_EQ(Send(kMsgAnswerType2, 0, 0), 0u);
    EXPECT_LT(backdrop->GetButtonOpacity(), 1.0f);
    // The fade runs on the heartbeat and ends at full opacity, never beyond.
    float last = backdrop->GetButtonOpacity();
    bool rising = true;
    EXPECT_TRUE(WaitUntil([&] { return backdrop->GetButtonOpacity() == 1.0f; },
                          [&] {
                              (void)backdrop->DispatchHeartbeat(); // a heartbeat has no failure to report here
                              rising = rising && backdrop->GetButtonOpacity() >= last;
                              last = backdrop->GetButtonOpacity();
                              Sleep(5);
                              return true;
                          },
                          3000));
    EXPECT_TRUE(rising);
    backdrop->FadeButton();
    EXPECT_EQ(Send(kMsgAnswerReported, 0, 2), 0u);
    EXPECT_FLOAT_EQ(backdrop->GetButtonOpacity(), 1.0f);
}

TEST_F(UpdaterWindow, KeysAndWheelScrollTheListAndTheButtonAsksItsOwner)
{
    for (int i = 0; i < 30; ++i)
        ASSERT_OK(backdrop->PostStatusLine(gCString::AppendNumber(gCString(L"line "), i), 0xFF000000, 1));
    const CStatusList& list = backdrop->GetStatusList();
    const int32_t last = list.Count() - list.GetVisibleRows();
    ASSERT_GT(last, 0);
    EXPECT_EQ(list.GetFirstVisible(), last);

    const struct {
        UINT message;
        WPARAM wParam;
        int32_t first;
    } steps[] = {
        {WM_KEYDOWN, VK_UP, last - 1},
        {WM_KEYDOWN, VK_HOME, 0},
        {WM_KEYDOWN, VK_DOWN, 1},
        {WM_KEYDOWN, VK_NEXT, 1 + list.GetVisibleRows()},
        {WM_KEYDOWN, VK_END, last},
        {WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), last - 3},
        {WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), last},
        {WM_KEYDOWN, VK_PRIOR, last - list.GetVisibleRows()},
    };
    for (const auto& s : steps) {
        PostMessageW(window, s.message, s.wParam, 0);
        EXPECT_TRUE(app.PumpUntil([&] { return list.GetFirstVisible() == s.first; }, 3000))
            << "message " << s.message << " key " << s.wParam << ": first " << list.GetFirstVisible();
    }

    // A press is a click only where it ends, and only with a caption on the button.
    const gCRect button = CQuorvelUpdaterBackdrop::ButtonRect();
    const LPARAM inside = MAKELPARAM((button.left + button.right) / 2, (button.top + button.bottom) / 2);
    const LPARAM outside = MAKELPARAM(5, 5);
    const struct {
        const wchar_t* caption;
        LPARAM down, up;
        int buttons;
    } clicks[] = {{L"", inside, inside, 0},
                  {L"Close", inside, inside, 1},
                  {L"Close", inside, outside, 1},
                  {L"Close", outside, inside, 1},
                  {L"Cancel", inside, inside, 2}};
    for (const auto& c : clicks) {
        ASSERT_OK(backdrop->SetButtonText(gCString(c.caption)));
        PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, c.down);
        PostMessageW(window, WM_LBUTTONUP, 0, c.up);
        PumpFor(100);
        EXPECT_EQ(owner.buttons, c.buttons) << c.caption;
    }

    // The status panel asks for the check once, at the first heartbeat after opening.
    EXPECT_OK(backdrop->DispatchHeartbeat());
    EXPECT_OK(backdrop->DispatchHeartbeat());
    EXPECT_EQ(owner.checks, 1);
}

TEST_F(UpdaterWindow, RowsInTheirColoursAndTheBarAreWhereTheWindowDrewThem)
{
    const uint32_t colours[] = {0xFF000000, 0xFFFF0000, 0xFF008000, 0xFF000000, 0xFFFF0000};
    for (uint32_t colour : colours)
        ASSERT_OK(backdrop->PostStatusLine(gCString(L"Mllll Wllll Hllll update line"), colour, 1));
    ASSERT_OK(backdrop->SetProgress(0.5f, 1));
    ASSERT_OK(backdrop->SetButtonText(gCString(L"Close")));
    PumpFor(200);
    ASSERT_OK(backdrop->Present());
    GdiFlush();

    ScreenShot shot(window);
    for (int i = 0; i < 5; ++i) {
        const gCRect row = backdrop->RowRect(i);
        const uint32_t colour = colours[i] & 0xFFFFFF;
        EXPECT_GT(shot.Count(row, colour), 20) << "row " << i << " lacks its colour";
        for (uint32_t other : {0xFF0000u, 0x008000u}) {
            if (other != colour) {
                EXPECT_EQ(shot.Count(row, other, 30), 0) << "row " << i << " shows another row's colour";
            }
        }
    }
    const gCRect below = backdrop->RowRect(6);
    EXPECT_EQ(shot.Count(below, 0x000000, 100), 0) << "an empty row has text";

    const gCRect bar = CQuorvelUpdaterBackdrop::ProgressRect();
    const int32_t middle = (bar.top + bar.bottom) / 2;
    const int32_t inner = bar.Width() - 4;
    EXPECT_EQ(shot.At(bar.left + 4, middle), 0x3C78D8u);
    EXPECT_EQ(shot.At(bar.left + 2 + inner / 2 - 3, bar.top + 3), 0x3C78D8u);
    EXPECT_EQ(shot.At(bar.left + 2 + inner / 2 + 3, bar.top + 3), 0xFFFFFFu);
    EXPECT_EQ(shot.At(bar.right - 4, middle), 0xFFFFFFu);
    // The percentage is written over the bar.
    EXPECT_GT(shot.Count({bar.left + inner / 2 - 30, bar.top, bar.left + inner / 2 + 30, bar.bottom}, 0x000000, 60),
              10);
}
