#include <gtest/gtest.h>

#include "ResultAssert.h"

#include "CResolver.h"
#include "FakeHost.h"
#include "ResolveHook.h"
#include "ScriptedPeer.h"
#include "SocketProbe.h"
#include "WinHandle.h"

namespace {

int gHandOffs = 0;

// Hands WM_APP+1 to the resolver, as the application's window procedure does, so a modal
// loop that dispatches the answer still completes the lookup.
LRESULT CALLBACK HiddenWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kResolveMessage) {
        ++gHandOffs;
        // The test counts hand-offs, not their outcome.
        (void)DeliverResolveWindowMessage(window, message, wParam, lParam);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// A hidden main window of the test's own, registered with a fake host.
class HiddenMainWindow {
public:
    HiddenMainWindow()
    {
        WNDCLASSW wc{};
        wc.lpfnWndProc = HiddenWindowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"QvNetTestsResolveWindow";
        RegisterClassW(&wc);
        owner.Reset(CreateWindowExW(0, wc.lpszClassName, L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                    wc.hInstance, nullptr));
        handle = owner.Get();
        host.mainWindow = handle;
        gHandOffs = 0;
    }

    // The main loop: dispatch, then hand WM_APP+1 to the resolver once more, as the
    // application's pump does.
    bool PumpUntil(const std::function<bool()>& done, bool pumpHandsOff, SocketProbe* probe = nullptr, int ms = kWaitMs)
    {
        return WaitUntil(
            done,
            [&] {
                MSG msg;
                while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                    TranslateMessage(&msg);
                    DispatchMessageW(&msg);
                    if (pumpHandsOff && msg.message == kResolveMessage)
                        (void)DeliverResolveMessage(msg); // the test counts hand-offs, not their outcome
                }
                return !probe || probe->socket.Poll() == kOk;
            },
            ms);
    }

    FakeHost host;
    CUniqueWindow owner;
    HWND handle = nullptr;
};

struct Completion {
    int calls = 0;
    uint32_t address = 0;
    uint32_t userValue = 0;
    std::wstring host;
};
Completion gCompletion;

gCResult RecordCompletion(gCString host, uint32_t address, uint32_t userValue, CTCPSocket*)
{
    ++gCompletion.calls;
    gCompletion.address = address;
    gCompletion.userValue = userValue;
    gCompletion.host = host.Text();
    return kOk;
}

} // namespace

TEST(Resolver, LiteralAddressTexts)
{
    struct Case {
        const wchar_t* text;
        bool literal;
        uint32_t address;
    } cases[] = {
        {L"10.0.0.1", true, 0x0100000Au},
        {L"127.0.0.1", true, 0x0100007Fu},
        {L"1.2.3.4.5", true, 0x04030201u},
        {L"256.0.0.1", true, 256u + (1u << 24)},
        {L"1.2.3.4x", false, 0},
        {L"1.2.3", false, 0},
        {L"1.2.3.", false, 0},
        {L"a.b.c.d", false, 0},
        {L".1.2.3.4", false, 0},
        {L"localhost", false, 0},
        {L"", false, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsDottedAddressText(gCString(c.text)), c.literal) << testing::PrintToString(std::wstring(c.text));
        if (c.literal) {
            EXPECT_EQ(ParseDottedAddress(gCString(c.text)), c.address);
        }
    }
    // A part that is not a number stops at its first non-digit.
    EXPECT_EQ(ParseDottedAddress(gCString(L"1.2.3.4.5")), 0x04030201u);
    EXPECT_EQ(IsDottedAddressText(gCString()), false);
}

TEST(Resolver, SplitsHostAndPort)
{
    struct Case {
        const wchar_t* text;
        const wchar_t* host;
        uint16_t port;
    } cases[] = {
        {L"example:8080", L"example", 8080},
        {L"example", L"example", 0},
        {L":80", L"", 80},
        {L"example:", L"example", 0},
        {L"127.0.0.1:65535", L"127.0.0.1", 65535},
        {L"host:70000", L"host", static_cast<uint16_t>(70000)},
        {L"", L"", 0},
    };
    for (const Case& c : cases) {
        gCString host;
        uint16_t port = 1;
        SplitHostPort(gCString(c.text), host, port);
        EXPECT_STREQ(host.Text(), c.host);
        EXPECT_EQ(port, c.port) << testing::PrintToString(std::wstring(c.text));
    }
}

TEST(Resolver, LiteralAddressCompletesAtOnceWithoutARequest)
{
    gCompletion = Completion();
    CTCPSocket socket;
    uint32_t error = 0;
    EXPECT_OK(socket.StartResolve(gCString(L"10.0.0.1"), RecordCompletion, 77, &error));
    EXPECT_EQ(gCompletion.calls, 1);
    EXPECT_EQ(gCompletion.address, 0x0100000Au);
    EXPECT_EQ(gCompletion.userValue, 77u);
    EXPECT_EQ(gCompletion.host, L"10.0.0.1");
    EXPECT_EQ(GetResolver().PendingCount(), 0);
}

TEST(Resolver, LocalhostConnectsThroughTheWindowAndThePump)
{
    ScriptedPeer peer;
    peer.ReadUntilClosed(4096, 0);
    peer.Start();
    HiddenMainWindow window;
    ASSERT_NE(window.handle, nullptr);
    SocketProbe probe;
    ASSERT_OK(probe.socket.Create(0));
    ASSERT_OK(probe.socket.ConnectByName(gCString(L"localhost"), peer.Port()));
    EXPECT_EQ(GetResolver().PendingCount(), 1);
    EXPECT_EQ(probe.socket.GetState(), kSocketNotStarted);
    EXPECT_TRUE(window.PumpUntil([&] { return probe.socket.IsConnected() != 0; }, true, &probe));
    EXPECT_EQ(probe.Count("resolved"), 1);
    EXPECT_EQ(probe.socket.GetPeerAddress(), LoopbackAddress());
    EXPECT_EQ(GetResolver().PendingCount(), 0);
    // The window procedure and the pump both had it; only one completed it.
    EXPECT_EQ(gHandOffs, 1);
    EXPECT_OK(probe.socket.Close());
    EXPECT_TRUE(peer.Join());
}

TEST(Resolver, ModalLoopThatOnlyDispatchesStillCompletesTheLookup)
{
    gCompletion = Completion();
    HiddenMainWindow window;
    ASSERT_NE(window.handle, nullptr);
    CTCPSocket socket;
    uint32_t error = 0;
    ASSERT_OK(socket.StartResolve(gCString(L"localhost"), RecordCompletion, 5, &error));
    EXPECT_TRUE(window.PumpUntil([&] { return gCompletion.calls > 0; }, false));
    EXPECT_EQ(gCompletion.calls, 1);
    EXPECT_EQ(gCompletion.address, LoopbackAddress());
    EXPECT_EQ(gCompletion.host, L"localhost");
    EXPECT_EQ(GetResolver().PendingCount(), 0);
}

TEST(Resolver, UnknownNameTakesTheFailureRoad)
{
    HiddenMainWindow window;
    ASSERT_NE(window.handle, nullptr);
    SocketProbe probe;
    ASSERT_OK(probe.socket.Create(80));
    // A label longer than 63 characters fails inside the host's resolver before any query
    // could leave the machine.
    const std::wstring name = std::wstring(64, L'a') + L".invalid";
    ASSERT_OK(probe.socket.ConnectByName(gCString(name.c_str()), 0));
    EXPECT_TRUE(window.PumpUntil([&] { return probe.Count("resolve-failed") > 0; }, true, &probe));
    EXPECT_EQ(probe.socket.GetState(), kSocketConnectFailed);
    EXPECT_EQ(probe.Count("resolved"), 0);
    EXPECT_EQ(GetResolver().PendingCount(), 0);
}

TEST(Resolver, ClosedSocketGetsNoCallbackAndTheRequestIsDropped)
{
    gCompletion = Completion();
    HiddenMainWindow window;
    ASSERT_NE(window.handle, nullptr);
    {
        CTCPSocket socket;
        ASSERT_OK(socket.Create(0));
        uint32_t error = 0;
        ASSERT_OK(socket.StartResolve(gCString(L"localhost"), RecordCompletion, 0, &error));
        ASSERT_OK(socket.Close());
    }
    EXPECT_TRUE(window.PumpUntil([&] { return GetResolver().PendingCount() == 0; }, true));
    EXPECT_EQ(gCompletion.calls, 0);
}

TEST(Resolver, NoMainWindowFailsAtOnce)
{
    FakeHost host;
    CTCPSocket socket;
    uint32_t error = 0;
    EXPECT_RESULT(socket.StartResolve(gCString(L"localhost"), RecordCompletion, 0, &error), kNetworkFatal);
    EXPECT_EQ(error, static_cast<uint32_t>(WSAEINVAL));
    EXPECT_EQ(GetResolver().PendingCount(), 0);
}
