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
    if (message != kResolveMessage)
        return DefWindowProcW(window, message, wParam, lParam);
    ++gHandOffs;
    (void)DeliverResolveWindowMessage(window, message, wParam, lParam); // counted, not judged
    return 0;
}

// A hidden main window of the test's own, registered with a fake host.
struct HiddenMainWindow {
    HiddenMainWindow()
    {
        WNDCLASSW wc{};
        wc.lpfnWndProc = HiddenWindowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"QvNetTestsResolveWindow";
        RegisterClassW(&wc);
        owner.Reset(CreateWindowExW(0, wc.lpszClassName, L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                    wc.hInstance, nullptr));
        host.mainWindow = owner.Get();
        gHandOffs = 0;
    }
    FakeHost host;
    CUniqueWindow owner;
};

// The application's main loop: dispatch, then hand WM_APP+1 to the resolver once more, as its
// pump does; the socket is polled between.
bool PumpAndHandOff(const std::function<bool()>& done, SocketProbe& probe)
{
    return WaitUntil(done, [&] {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&msg);
            if (msg.message == kResolveMessage)
                (void)DeliverResolveMessage(msg); // counted, not judged
        }
        return probe.socket.Poll() == kOk;
    });
}

int gCompletions = 0;
uint32_t gAddress = 0;

gCResult RecordCompletion(gCString, uint32_t address, uint32_t userValue, CTCPSocket*)
{
    ++gCompletions;
    gAddress = address + userValue;
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
        {L"1.2.3.4.5", true, 0x04030201u},
        {L"256.0.0.1", true, 256u + (1u << 24)},
        {L"1.2.3.4x", false, 0},
        {L"1.2.3", false, 0},
        {L".1.2.3.4", false, 0},
        {L"localhost", false, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsDottedAddressText(gCString(c.text)), c.literal) << testing::PrintToString(std::wstring(c.text));
        if (c.literal) {
            EXPECT_EQ(ParseDottedAddress(gCString(c.text)), c.address);
        }
    }
}

TEST(Resolver, LocalhostConnectsThroughTheWindowAndThePump)
{
    ScriptedPeer peer;
    peer.ReadUntilClosed(4096);
    peer.Start();
    HiddenMainWindow window;
    SocketProbe probe;
    ASSERT_OK(probe.socket.Create(0));
    ASSERT_OK(probe.socket.ConnectByName(gCString(L"localhost"), peer.Port()));
    EXPECT_EQ(GetResolver().PendingCount(), 1);
    EXPECT_TRUE(PumpAndHandOff([&] { return probe.socket.IsConnected() != 0; }, probe));
    EXPECT_EQ(probe.resolved, 1);
    EXPECT_EQ(GetResolver().PendingCount(), 0);
    // The window procedure and the pump both had it; only one completed it.
    EXPECT_EQ(gHandOffs, 1);
    EXPECT_OK(probe.socket.Close());
    EXPECT_TRUE(peer.Join());
}

TEST(Resolver, ModalLoopThatOnlyDispatchesStillCompletesTheLookup)
{
    gCompletions = 0;
    HiddenMainWindow window;
    CTCPSocket socket;
    uint32_t error = 0;
    ASSERT_OK(socket.StartResolve(gCString(L"localhost"), RecordCompletion, 0, &error));
    EXPECT_TRUE(PumpUntil([&] { return gCompletions > 0; }));
    EXPECT_EQ(gAddress, LoopbackAddress());
    EXPECT_EQ(GetResolver().PendingCount(), 0);
}

TEST(Resolver, ClosedSocketGetsNoCallbackAndTheRequestIsDropped)
{
    gCompletions = 0;
    HiddenMainWindow window;
    SocketProbe probe;
    ASSERT_OK(probe.socket.Create(0));
    uint32_t error = 0;
    ASSERT_OK(probe.socket.StartResolve(gCString(L"localhost"), RecordCompletion, 0, &error));
    ASSERT_OK(probe.socket.Close());
    EXPECT_TRUE(PumpAndHandOff([&] { return GetResolver().PendingCount() == 0; }, probe));
    EXPECT_EQ(gCompletions, 0);
}
