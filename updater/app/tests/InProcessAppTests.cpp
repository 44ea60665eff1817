// The real application class and its window in this process on a scratch installation: the
// main button pressed while the update file arrives, then pressed and released apart; then an
// answer that names the download location, the engine's view messages, files dropped on the
// window, and scrolling by keys and wheel; a received update freed once installed. The window's
// picture is read back from its back buffer, which the widgets' tests show reaching the screen,
// and at the end from the screen itself.
#include <gtest/gtest.h>

#include "ResultAssert.h"

#include "BoxCapture.h"
#include "CImageBase.h"
#include "CQVUTransferManager.h"
#include "CQuorvelUpdaterApp.h"
#include "CWindowBase.h"
#include "EndToEnd.h"
#include "NetHandles.h"
#include "LocalString.h"
#include "UpdaterTexts.h"
#include "UpdaterMessages.h"
#include "Wait.h"
#include "WinSock.h"
#include "gCStringArray.h"

namespace {
const gCRect kButton = CQuorvelUpdaterBackdrop::ButtonRect();
const gCPoint kInside = {(kButton.left + kButton.right) / 2, (kButton.top + kButton.bottom) / 2}, kOutside = {5, 5};

// Whether the window's picture shows the colour (0xRRGGBB) somewhere in the rectangle.
bool Shows(CImageBase& picture, const gCRect& r, uint32_t colour)
{
    for (int32_t y = r.top; y < r.bottom; ++y)
        for (int32_t x = r.left; x < r.right; ++x)
            if ((picture.GetPixel(x, y) & 0xFFFFFF) == colour)
                return true;
    return false;
}

// Whether the window's client area on the screen shows what its back buffer holds.
bool ScreenMatches(HWND window, CImageBase& picture)
{
    CImageBase screen;
    if (screen.Create(picture.GetWidth(), picture.GetHeight()) != kOk)
        return false;
    {
        CWindowDC dc(window);
        if (!BitBlt(screen.GetMemDC(), 0, 0, screen.GetWidth(), screen.GetHeight(), dc.Get(), 0, 0, SRCCOPY))
            return false;
    }
    GdiFlush();
    for (int32_t y = 0; y < screen.GetHeight(); ++y)
        for (int32_t x = 0; x < screen.GetWidth(); ++x)
            if (((screen.GetPixel(x, y) ^ picture.GetPixel(x, y)) & 0xFFFFFF) != 0)
                return false;
    return true;
}

class ScratchUpdaterApp : public CQuorvelUpdaterApp {
public:
    explicit ScratchUpdaterApp(const std::wstring& folder)
    {
        (void)m_programFolder.SetText(folder.c_str()); // the test fails visibly without it
        m_secondFolder = m_programFolder;
    }
    gCResult GetProcessNames(gCStringArray& names) override
    {
        return m_processListFails ? gCResult(1) : CQuorvelUpdaterApp::GetProcessNames(names);
    }
    // Starts as the program does.
    gCResult Start()
    {
        QV_RETURN_IF_FAILED(Init());
        return OnStart(gCString(L""));
    }
    bool RunUntil(const std::function<bool()>& done, int ms = 15000)
    {
        return WaitUntil(
            done,
            [&] {
                DispatchQueued();
                (void)TickNow(); // a failing tick shows as the awaited line never coming
                return true;
            },
            ms);
    }
    bool RunUntilLogged(const Installation& install, const char* text)
    {
        return RunUntil([&] { return install.Log().find(text) != std::string::npos; });
    }
    // A press and a release of the left button, as the window's user makes them.
    void Click(const gCPoint& down, const gCPoint& up)
    {
        PostMessageW(GetMainWindowHandle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(down.x, down.y));
        PostMessageW(GetMainWindowHandle(), WM_LBUTTONUP, 0, MAKELPARAM(up.x, up.y));
        (void)RunUntil([] { return false; }, 200);
    }
    bool WaitClosed()
    {
        const bool closed = RunUntil([] { return GetMainWindow() == nullptr || !GetMainWindow()->IsOpen(); });
        DrainQuit();
        return closed;
    }
    bool m_processListFails = false;
};

int WSAAPI StartupRefused(WORD, LPWSADATA)
{
    return WSASYSNOTREADY;
}
} // namespace

TEST(UpdaterApp, CancelThenViewMessagesDroppedFilesScrollingAndTheCloseButton)
{
    Installation install;
    UpdateServer server;
    // Mid-body the server stalls: without the cancel the transfer would end as lost.
    ASSERT_FALSE(
        install.Serve(server, {Entry(L"Late.txt", Ansi("late"))}, L"OS=WIN32\r", L"--mode stall --stall-at 20").empty())
        << server.Error();
    {
        ScratchUpdaterApp app(install.Path(L""));
        ASSERT_OK(app.Start());
        app.GetTransferManager()->SetIdleTimeout(300); // well within the pause below
        ASSERT_TRUE(app.RunUntilLogged(install, "download is ready"));
        app.Click(kInside, kInside);
        (void)app.RunUntil([] { return false; }, 800); // nothing may come after the cancel
        EXPECT_EQ(install.Log(), kUntilReply + "Cancelled.\r\n");
        // A press is a click only where it ends: the window stays until the click on the button.
        app.Click(kInside, kOutside);
        app.Click(kOutside, kInside);
        ASSERT_TRUE(GetMainWindow() && GetMainWindow()->IsOpen());
        app.Click(kInside, kInside);
        ASSERT_TRUE(app.WaitClosed());
    }

    server.Stop();
    ASSERT_TRUE(server.Start(L"--mode type1 --location http://127.0.0.1:9/q.qvu")) << server.Error();
    install.PointAt(server.Host());
    ScratchUpdaterApp app(install.Path(L""));
    ASSERT_OK(app.Start());
    ASSERT_TRUE(app.RunUntilLogged(install, "127.0.0.1:9/q.qvu"));
    CQuorvelUpdaterBackdrop& window = *app.GetBackdrop();
    EXPECT_STREQ(window.GetButtonText().Text(), L"Open download page");
    // Percent as a signed 64-bit value in b (low) and c (high), held within the bar.
    const struct {
        uint32_t low, high;
        float fraction;
    } progress[] = {{42, 0, 0.42f}, {0xFFFFFFFF, 0xFFFFFFFF, 0.0f}, {250, 0, 1.0f}, {50, 0, 0.5f}};
    for (const auto& p : progress) {
        EXPECT_EQ(app.SendToView(kMsgProgress, 0, p.low, p.high), 0u);
        EXPECT_FLOAT_EQ(window.GetProgress(), p.fraction) << p.low;
    }
    CImageBase& picture = window.GetBackBuffer();
    // The rows in their colours: the test-mode warning red, the check not.
    EXPECT_TRUE(Shows(picture, window.RowRect(0), 0xFF0000));
    EXPECT_FALSE(Shows(picture, window.RowRect(1), 0xFF0000));
    // Half the bar is filled, and the percentage is written over it.
    const gCRect bar = CQuorvelUpdaterBackdrop::ProgressRect();
    const int32_t middle = bar.left + 2 + (bar.Width() - 4) / 2;
    EXPECT_EQ(picture.GetPixel(middle - 3, bar.top + 3), CQuorvelUpdaterBackdrop::kBarColour);
    EXPECT_EQ(picture.GetPixel(middle + 3, bar.top + 3), CQuorvelUpdaterBackdrop::kListColour);
    EXPECT_TRUE(Shows(picture, {middle - 30, bar.top, middle + 30, bar.bottom}, 0x000000));
    // An answer of type 2 fades the button in on the heartbeat, up to full opacity.
    EXPECT_EQ(app.SendToView(kMsgAnswerType2, 0, 0, 0), 0u);
    EXPECT_LT(window.GetButtonOpacity(), 1.0f);
    EXPECT_TRUE(app.RunUntil([&] { return window.GetButtonOpacity() == 1.0f; }, 3000));

    const std::wstring dropped = install.WriteArchive({Entry(L"Extras\\Dropped.txt", Ansi("by hand"))}, L"OS=WIN32\r");
    gCStringArray names;
    ASSERT_OK(names.Add(gCString(dropped.c_str())));
    // Without a readable process list the product may be running: nothing is replaced.
    app.m_processListFails = true;
    ASSERT_OK(app.OnFilesDropped(names));
    ASSERT_TRUE(app.RunUntilLogged(install, "Please close Quorvel 2 first"));
    app.m_processListFails = false;
    ASSERT_OK(app.OnFilesDropped(names));
    ASSERT_TRUE(app.RunUntilLogged(install, "installed successfully"));

    const CStatusList& list = window.GetStatusList();
    const int32_t last = list.Count() - list.GetVisibleRows();
    EXPECT_EQ(list.GetFirstVisible(), last);
    const struct {
        UINT message;
        WPARAM wParam;
        int32_t first;
    } steps[] = {
        {WM_KEYDOWN, VK_UP, last - 1},
        {WM_KEYDOWN, VK_NEXT, last},
        {WM_KEYDOWN, VK_HOME, 0},
        {WM_KEYDOWN, VK_UP, 0},
        {WM_KEYDOWN, VK_DOWN, 1},
        {WM_KEYDOWN, VK_END, last},
        {WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), last - 3},
        {WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), last},
        {WM_KEYDOWN, VK_PRIOR, last - list.GetVisibleRows()},
    };
    // Started without Run, the window is hidden; shown, its first paint puts everything there.
    ShowWindow(app.GetMainWindowHandle(), SW_SHOW);
    UpdateWindow(app.GetMainWindowHandle());
    for (const auto& s : steps) {
        PostMessageW(app.GetMainWindowHandle(), s.message, s.wParam, 0);
        EXPECT_TRUE(app.RunUntil([&] { return list.GetFirstVisible() == s.first; }, 3000))
            << "message " << s.message << " key " << s.wParam << ": first " << list.GetFirstVisible();
    }
    // Each change put its own part on the screen, and only that part.
    EXPECT_TRUE(ScreenMatches(app.GetMainWindowHandle(), picture));
    // A bar moved again at once waits for the heartbeat to show it.
    EXPECT_EQ(app.SendToView(kMsgProgress, 0, 60, 0), 0u);
    EXPECT_EQ(app.SendToView(kMsgProgress, 0, 61, 0), 0u);
    EXPECT_TRUE(app.RunUntil([&] { return ScreenMatches(app.GetMainWindowHandle(), picture); }, 3000));

    PostMessageW(app.GetMainWindowHandle(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(app.WaitClosed());
    // Lines that still come reach the log.
    EXPECT_OK(app.PostStatusLine(gCString(L"after the window"), kLineBlack, 1));
    // The installation's own lines are those of any run.
    const std::string drop = "Installing the update file dropped on the window: update.qvu\r\n", log = install.Log();
    EXPECT_EQ(log.substr(0, log.find(kUnpacking)),
              kUntilReply +
                  "-- An error occurred when trying to start the download: --\r\nA newer version must be "
                  "downloaded by hand.\r\nDownload couldn't be started!\r\nThe update can be downloaded "
                  "from: http://127.0.0.1:9/q.qvu\r\n" +
                  drop + "Please close Quorvel 2 first: the update cannot be installed while it runs.\r\n" + drop);
    EXPECT_EQ(log.substr(log.find("Removing the old files...")),
              "Removing the old files...\r\n \r\nThe update was installed successfully.\r\nafter the window\r\n");
}

// WinSock that cannot start stops the start-up: its box is the one message, the window closes,
// and the installation stays as it was, a left-over slave copy included. A start that other code
// of the process made outlives the program's end.
TEST(UpdaterApp, WinSockThatCannotStartEndsTheStartWithOneBoxAndNothingChanged)
{
    Installation install;
    ASSERT_TRUE(WriteWholeFile(gCString(install.Path(L"QVUSlave.exe").c_str()), Ansi("left over")));
    const auto before = install.Snapshot();
    WSADATA data;
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
    {
        BoxCapture boxes;
        const WSAStartupFn previous = SetWSAStartupFunction(StartupRefused);
        {
            ScratchUpdaterApp app(install.Path(L""));
            EXPECT_OK(app.Start());
            SetWSAStartupFunction(previous);
            EXPECT_TRUE(app.WaitClosed());
        }
        ASSERT_EQ(boxes.Boxes().size(), 1u);
        EXPECT_EQ(boxes.Boxes()[0].text, L"A network error occurred - networking is probably no longer "
                                         L"functional.\nWinSock DLL unavailable or unsuitable");
    }
    EXPECT_EQ(install.Snapshot(), before);
    EXPECT_EQ(install.Log(), "");
    EXPECT_TRUE(CUniqueSocket(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)).IsValid());
    WSACleanup();
}

// While the check runs the button cancels, and it is drawn so; a line wider than the list goes on
// in the rows below it; every button caption fits its button in every language; an answer page
// leaves no bar behind, though its announced length drew one.
TEST(UpdaterApp, TheWindowShowsAWorkingCancelWholeLinesWholeCaptionsAndNoBarAfterAnAnswer)
{
    Installation install;
    UpdateServer server;
    // Too wide for a row, and no space to break it at.
    const std::wstring reason = std::wstring(60, L'w') + L"_" + std::wstring(60, L'd') + L"_end.";
    ASSERT_TRUE(server.Start(L"--mode uptodate --fail-reason " + reason)) << server.Error();
    install.PointAt(server.Host());
    ScratchUpdaterApp app(install.Path(L""));
    ASSERT_OK(app.Start());
    CQuorvelUpdaterBackdrop& window = *app.GetBackdrop();
    ASSERT_TRUE(window.HasFonts());
    EXPECT_STREQ(window.GetButtonText().Text(), L"Cancel");
    EXPECT_EQ(window.GetButtonOpacity(), 1.0f);
    ASSERT_TRUE(app.RunUntilLogged(install, "_end."));
    EXPECT_FALSE(window.IsProgressShown());

    // The last rows, each within the list, joined as they were cut: a cut at a space drops it.
    const std::wstring spaced = L"Found the location of the download server, but couldn't connect to it. Please check "
                                L"your Internet connection, or try again later!";
    const CStatusList& list = window.GetStatusList();
    auto lastRows = [&](size_t length, const wchar_t* joint) {
        std::wstring rows;
        for (int32_t i = list.Count() - 1; i >= 0 && rows.size() < length; --i) {
            EXPECT_LE(window.TextWidth(list.At(i).text), CQuorvelUpdaterBackdrop::RowTextWidth());
            rows.insert(0, std::wstring(list.At(i).text.Text()) + (rows.empty() ? L"" : joint));
        }
        return rows;
    };
    EXPECT_EQ(lastRows(reason.size(), L""), reason);
    ASSERT_OK(app.PostStatusLine(gCString(spaced.c_str()), kLineRed, 1));
    EXPECT_EQ(lastRows(spaced.size(), L" "), spaced);

    const int32_t room = CQuorvelUpdaterBackdrop::ButtonRect().Width() - 8;
    for (uint32_t block : {0u, 1000u})
        for (uint32_t n : {kTextButtonCancel, kTextButtonClose, kTextButtonOpenLocation}) {
            const gCString caption = app.GetStringTable()->GetTextByID(kLocalTextBase + block + n, 0);
            EXPECT_LE(window.TextWidth(caption), room) << block + n;
        }
    PostMessageW(app.GetMainWindowHandle(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(app.WaitClosed());
}

// The application with its window on a scratch installation whose server found it up to date.
class UpToDateWindow : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.Start(L"--mode uptodate")) << server.Error();
        install.PointAt(server.Host());
        ASSERT_OK(app.Start());
        ASSERT_TRUE(app.RunUntilLogged(install, "up to date"));
    }
    Installation install;
    UpdateServer server;
    ScratchUpdaterApp app{install.Path(L"")};
};

// The window offers no maximising; at every other size it takes (the whole area, most of it) it
// is drawn whole at once, on the screen too, with no status change to wait for.
TEST_F(UpToDateWindow, AtAnotherSizeItIsDrawnWholeAtOnce)
{
    const HWND handle = app.GetMainWindowHandle();
    EXPECT_EQ(GetWindowLongW(handle, GWL_STYLE) & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX), WS_MINIMIZEBOX);
    ShowWindow(handle, SW_SHOW);
    CQuorvelUpdaterBackdrop& window = *app.GetBackdrop();
    CImageBase& picture = window.GetBackBuffer();
    for (const gCPoint size : {gCPoint{1280, 1024}, gCPoint{1024, 819}}) {
        PostMessageW(handle, WM_KEYDOWN, size.x == 1280 ? VK_F7 : VK_F8, 0);
        ASSERT_TRUE(app.RunUntil([&] { return picture.GetWidth() == size.x; }, 3000));
        ASSERT_EQ(picture.GetHeight(), size.y);
        EXPECT_TRUE(Shows(picture, window.RowRect(0), 0xFF0000));
        EXPECT_EQ(picture.GetPixel(size.x - 1, size.y - 1) & 0xFFFFFF, 0xF0F0F0u);
        EXPECT_TRUE(app.RunUntil([&] { return ScreenMatches(handle, picture); }, 3000)) << size.x;
    }
    PostMessageW(handle, WM_CLOSE, 0, 0);
    ASSERT_TRUE(app.WaitClosed());
}

// Each change draws only its own part, and the bar only when it is shown: after a run of changes
// of every part the window holds, and the screen shows, what a whole new drawing gives.
TEST_F(UpToDateWindow, AfterChangesOfEveryPartItEqualsAWholeDrawing)
{
    const HWND handle = app.GetMainWindowHandle();
    ShowWindow(handle, SW_SHOW);
    UpdateWindow(handle);
    CQuorvelUpdaterBackdrop& window = *app.GetBackdrop();
    gCString closing(L"The closing line, also the caption.");
    const std::function<void()> changes[] = {
        [&] { (void)app.SendToView(kMsgProgress, 0, 30, 0); },
        [&] { (void)app.SendToView(kMsgProgress, 0, 31, 0); },
        [&] { EXPECT_OK(window.SetCaptionText(gCString(L"Another caption"), 1)); },
        [&] { (void)app.SendToView(kMsgReportClosingLine, reinterpret_cast<uint32_t>(&closing), kLineRed, 0); },
        [&] { EXPECT_OK(window.SetButtonText(gCString(L"Another button"))); },
        [&] { window.SetButtonOpacity(0.5f); },
        [&] { PostMessageW(handle, WM_KEYDOWN, VK_HOME, 0); },
        [&] { (void)app.SendToView(kMsgProgress, 0, 77, 0); },
        [&] { (void)app.SendToView(kMsgAnswerReported, 0, 0, 0); },
        [&] { EXPECT_OK(window.SetButtonText(gCString(L""))); },
    };
    CImageBase& picture = window.GetBackBuffer();
    for (const auto& change : changes) {
        change();
        (void)app.RunUntil([] { return false; }, 60);
        std::vector<uint32_t> drawn;
        CImageBase& now = window.GetBackBuffer();
        for (int32_t y = 0; y < now.GetHeight(); ++y)
            for (int32_t x = 0; x < now.GetWidth(); ++x)
                drawn.push_back(now.GetPixel(x, y));
        EXPECT_TRUE(app.RunUntil([&] { return ScreenMatches(handle, picture); }, 3000));
        window.Render();
        size_t differ = 0;
        for (int32_t y = 0, i = 0; y < now.GetHeight(); ++y)
            for (int32_t x = 0; x < now.GetWidth(); ++x, ++i)
                differ += drawn[static_cast<size_t>(i)] != now.GetPixel(x, y);
        EXPECT_EQ(differ, 0u) << window.GetCaption().Text();
    }
    PostMessageW(handle, WM_CLOSE, 0, 0);
    ASSERT_TRUE(app.WaitClosed());
}

// Installed, a received update's bytes, packed and unpacked, are freed before the program ends.
TEST(UpdaterApp, AReceivedUpdateIsFreedOnceInstalled)
{
    Installation install;
    UpdateServer server;
    ASSERT_FALSE(install.Serve(server, {Entry(L"New.txt", Ansi("new"))}, L"OS=WIN32\r").empty()) << server.Error();
    ScratchUpdaterApp app(install.Path(L""));
    ASSERT_OK(app.Start());
    ASSERT_TRUE(app.RunUntilLogged(install, "installed successfully"));
    EXPECT_EQ(app.GetTransferManager()->GetDeliveredBody().GetLength(), 0);
    EXPECT_EQ(app.GetDesquasher().GetUnpackedArchive().Count(), 0);
    PostMessageW(app.GetMainWindowHandle(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(app.WaitClosed());
}
