// The window procedure with real messages sent to a real window under Xvfb.
#include <gtest/gtest.h>

#include "ResultAssert.h"

#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

#include "BoxCapture.h"
#include "CAppWindow.h"
#include "TestApp.h"

namespace {
class WindowProc : public testing::Test {
protected:
    void SetUp() override
    {
        content = new FakeContent();
        ASSERT_OK(app.OpenTestWindow(content));
        window = GetMainWindow()->GetHandle();
    }

    LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam) { return SendMessageW(window, message, wParam, lParam); }

    TestApp app;
    FakeContent* content = nullptr;
    HWND window = nullptr;
};

struct KeyCase {
    const char* name;
    UINT key;
    int32_t control, alt, modal;
    std::vector<int32_t> codes; // of a key-up: the keys the content saw go up
    int32_t shift = 0;
    UINT message = WM_KEYDOWN;
};
} // namespace

// The content sees the keys through the table and the modifier rules, then characters, key-ups
// and system keys. What it leaves is the window's: F11 switches the heartbeat's work, F8 takes
// 80 % of the 1280 by 1024 area and F7 all of it, a framed window losing its caption.
TEST_F(WindowProc, KeysReachTheContentThroughTheTableAndTheRestAreWindowCommands)
{
    std::vector<KeyCase> cases;
    // The table of named keys: the arrows, home, end, the page keys and F1 to F12 in that order.
    const UINT named[] = {VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN, VK_HOME, VK_END, VK_PRIOR, VK_NEXT};
    for (int i = 0; i < 20; ++i)
        cases.push_back({"named key", i < 8 ? named[i] : VK_F1 + i - 8, 0, 0, 0, {-256 + i}});
    cases.insert(cases.end(), {
                                  {"delete", VK_DELETE, 0, 0, 0, {127}},
                                  {"alt F4 over a modal", VK_F4, 0, 1, 1, {27}},
                                  {"alt F4 without a modal", VK_F4, 0, 1, 0, {-245}},
                                  {"F4 over a modal without alt", VK_F4, 0, 0, 1, {-245}},
                                  {"table wins over control", VK_F5, 1, 0, 0, {-244}},
                                  {"control keypad plus", VK_ADD, 1, 0, 0, {'+'}},
                                  {"control shift equals", VK_OEM_PLUS, 1, 0, 0, {'+'}, 1},
                                  {"control equals", VK_OEM_PLUS, 1, 0, 0, {'='}},
                                  {"control minus", VK_OEM_MINUS, 1, 0, 0, {'-'}},
                                  {"control grave", VK_OEM_3, 1, 0, 0, {'`'}},
                                  {"control first digit", '0', 1, 0, 0, {'0'}},
                                  {"control last digit", '9', 1, 0, 0, {'9'}},
                                  {"control tab", VK_TAB, 1, 0, 0, {9}},
                                  {"control letter", 'A', 1, 0, 0, {}},
                                  {"control itself", VK_CONTROL, 1, 0, 0, {}},
                                  {"control alt letter", 'A', 1, 1, 0, {}},
                                  {"alt letter", 'A', 0, 1, 0, {'A'}},
                                  {"alt keypad digit", VK_NUMPAD5, 0, 1, 0, {}},
                                  {"alt keypad plus", VK_ADD, 0, 1, 0, {}},
                                  {"alt keypad minus", VK_SUBTRACT, 0, 1, 0, {VK_SUBTRACT}},
                                  {"alt itself", VK_MENU, 0, 1, 0, {}},
                                  {"plain letter", 'A', 0, 0, 0, {}},
                                  {"key up", 'Q', 1, 1, 0, {'Q'}, 0, WM_KEYUP},
                                  {"character past Latin-1", 0x4E2D, 1, 0, 0, {0x4E2D}, 0, WM_CHAR},
                                  {"system F4 over a modal", VK_F4, 0, 0, 1, {27}, 0, WM_SYSKEYDOWN},
                                  {"system F4 without a modal", VK_F4, 0, 1, 0, {}, 0, WM_SYSKEYDOWN},
                              });
    content->handleKeys = 1;
    for (const KeyCase& c : cases) {
        SCOPED_TRACE(c.name);
        content->keys.clear();
        app.control = c.control;
        app.alt = c.alt;
        app.shift = c.shift;
        content->modal = c.modal != 0;
        EXPECT_EQ(Send(c.message, c.key, 0), 0);
        EXPECT_EQ(c.message == WM_KEYUP ? content->keyUps : content->keys, c.codes);
    }
    // The table's F7, F8 and F11 were handled; had they reached the window, the first F11
    // here would switch the work off.
    content->handleKeys = 0;
    content->framed = true;
    for (bool work : {true, false}) {
        Send(WM_KEYDOWN, VK_F11, 0);
        EXPECT_EQ(app.IsHeartbeatWorkEnabled(), work);
    }
    Send(WM_KEYDOWN, VK_F8, 0);
    EXPECT_EQ((gCPoint{content->GetWidth(), content->GetHeight()}), (gCPoint{1024, 819}));
    Send(WM_KEYDOWN, VK_F7, 0);
    EXPECT_EQ((gCPoint{content->GetWidth(), content->GetHeight()}), (gCPoint{1280, 1024}));
    EXPECT_EQ(GetWindowLongW(window, GWL_STYLE) & WS_CAPTION, 0);
}

// A framed window of one size offers no maximising, which would take its caption and the way
// back with it; a resizable one does, with its sizing border.
TEST(WindowStyle, OnlyAResizableFramedWindowOffersMaximising)
{
    for (uint32_t resizable : {0u, static_cast<uint32_t>(kWindowResizable)}) {
        TestApp app;
        FakeContent* content = new FakeContent();
        content->framed = true;
        ASSERT_OK(app.OpenMainWindowAt(content, 103, kWindowCentreX | kWindowCentreY | resizable, 640.0f, 240.0f, -1.0f,
                                       -1.0f, nullptr, 0));
        const LONG style = GetWindowLongW(GetMainWindow()->GetHandle(), GWL_STYLE);
        const LONG offered = resizable ? (WS_MAXIMIZEBOX | WS_THICKFRAME) : 0;
        EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX), WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX);
        EXPECT_EQ(style & (WS_MAXIMIZEBOX | WS_THICKFRAME), offered) << resizable;
    }
}

TEST_F(WindowProc, PointerAndWheelMessagesGiveSignedPoints)
{
    const std::vector<std::pair<UINT, FakeContent::MouseEvent>> messages = {
        {WM_MOUSEMOVE, FakeContent::kMove}, {WM_LBUTTONDOWN, FakeContent::kLDown},
        {WM_LBUTTONUP, FakeContent::kLUp},  {WM_RBUTTONDOWN, FakeContent::kRDown},
        {WM_RBUTTONUP, FakeContent::kRUp},  {WM_MBUTTONDOWN, FakeContent::kMDown},
        {WM_MBUTTONUP, FakeContent::kMUp},
    };
    for (const auto& m : messages)
        EXPECT_EQ(Send(m.first, 0, MAKELPARAM(10, 20)), 0);
    // A captured pointer left of the window.
    Send(WM_MOUSEMOVE, 0, MAKELPARAM(static_cast<WORD>(-5), 7));
    ASSERT_EQ(content->mice.size(), messages.size() + 1);
    for (size_t i = 0; i < messages.size(); ++i) {
        EXPECT_EQ(content->mice[i].first, messages[i].second);
        EXPECT_EQ(content->mice[i].second, (gCPoint{10, 20}));
    }
    EXPECT_EQ(content->mice.back().second, (gCPoint{-5, 7}));

    // The wheel's delta and screen point are signed too.
    Send(WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)),
         MAKELPARAM(static_cast<WORD>(-300), static_cast<WORD>(-20)));
    ASSERT_EQ(content->wheels.size(), 1u);
    EXPECT_EQ(content->wheels[0].first, (gCPoint{0, -120}));
    EXPECT_EQ(content->wheels[0].second, (gCPoint{-300, -20}));
}

TEST_F(WindowProc, SizeFollowsTheClientExceptNarrowWidths)
{
    struct SizeCase {
        WORD width, height;
        int32_t expectWidth, expectHeight;
    };
    for (const SizeCase& c : {SizeCase{7, 100, 640, 240}, SizeCase{8, 0, 8, 0}, SizeCase{0, 50, 8, 0}}) {
        Send(WM_SIZE, SIZE_RESTORED, MAKELPARAM(c.width, c.height));
        EXPECT_EQ(content->GetWidth(), c.expectWidth);
        EXPECT_EQ(content->GetHeight(), c.expectHeight);
    }
    SetWindowActiveFlag(1);
    Send(WM_SIZE, SIZE_MINIMIZED, MAKELPARAM(0, 0));
    EXPECT_EQ(GetWindowActiveFlag(), 0);
}

TEST_F(WindowProc, PaintCopiesTheBackBuffer)
{
    // A layered content presents itself: a paint leaves the window alone.
    for (bool layered : {false, true}) {
        content->layered = layered;
        content->Fill(layered ? 0xFF000000 : 0xFF2060A0);
        InvalidateRect(window, nullptr, FALSE);
        UpdateWindow(window);
        CWindowDC dc(window);
        EXPECT_EQ(GetPixel(dc.Get(), 639, 239), RGB(0x20, 0x60, 0xA0));
    }
}

// Another window gets its own messages and its end leaves the main window and the loop
// running, as does the end of a window that never opened; the main window's end ends the loop
// when the application agrees.
TEST_F(WindowProc, AnotherWindowsEndLeavesTheLoopAndTheMainOnesAsksTheApplication)
{
    CAppWindow* other = new CAppWindow();
    FakeContent* otherContent = new FakeContent();
    other->SetContent(otherContent, 0);
    ASSERT_EQ(other->Create(200, 100, gCString(L"Other window"), -1), 1);
    SendMessageW(other->GetHandle(), WM_CHAR, 'x', 0);
    EXPECT_EQ(otherContent->keys, std::vector<int32_t>{'x'});
    other->Close();
    (new CAppWindow())->Close();
    EXPECT_EQ(app.GetWindowList().Count(), 1);
    MSG quit;
    EXPECT_FALSE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));

    app.queryClose = 0;
    EXPECT_EQ(Send(WM_CLOSE, 0, 0), 0);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_NE(GetMainWindow(), nullptr);

    app.queryClose = 2;
    Send(WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(app.GetWindowList().Count(), 0);
    EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

// A synthetic drop of the names, each ended by a 0; the window frees the block once it has
// read them.
static LRESULT SendDrop(HWND window, const std::vector<std::wstring>& names)
{
    std::wstring list;
    for (const std::wstring& name : names)
        list.append(name).push_back(L'\0');
    list.push_back(L'\0');
    const size_t bytes = list.size() * sizeof(wchar_t);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + bytes);
    if (!block)
        return -1;
    DROPFILES* drop = static_cast<DROPFILES*>(GlobalLock(block));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    std::memcpy(drop + 1, list.data(), bytes);
    GlobalUnlock(block);
    return SendMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(block), 0);
}

// Names past the old 255-character limit arrive whole.
TEST_F(WindowProc, DroppedFilesReachTheApplicationInOrderAndWhole)
{
    const std::vector<std::wstring> names = {L"C:\\first.qvu", L"C:\\d\u00e9j\u00e0\\second.txt",
                                             L"C:\\" + std::wstring(300, L'n') + L".qvu",
                                             L"C:\\" + std::wstring(255, L'a'), L"C:\\x"};
    EXPECT_EQ(SendDrop(window, names), 0);
    EXPECT_EQ(app.dropped, names);
}

TEST(WindowOpen, FailuresFailTheOpeningCleanly)
{
    BoxCapture boxes;
    TestApp app;
    // Without a content and without services that make one.
    CAppWindow* bare = new CAppWindow();
    EXPECT_EQ(bare->Create(320, 200, gCString(L""), -1), 0);
    EXPECT_EQ(app.GetWindowList().Count(), 0);

    FakeContent* content = new FakeContent();
    content->failSize = kOutOfMemory;
    EXPECT_RESULT(app.OpenTestWindow(content), kGenericFailure);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text,
              L"Not enough memory to perform action.\nWindow SetSize failed. Offscreen buffer error.");
    EXPECT_EQ(app.GetWindowList().Count(), 0);
    EXPECT_TRUE(app.IsQuitting());
    PumpFor(20);
    DrainQuit();
}
