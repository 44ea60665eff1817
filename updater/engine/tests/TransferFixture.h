// A transfer manager on the real network stack with recording view and application targets:
// every updater message is written down in order, as one readable line each:
//   "<colour>:<text>" for a status line, colour black, red, lightred or green
//   "end-<colour>:<text>" for the closing line of an error report
//   "progress:<percent>"
//   "app:<id in hex>" or "app:<id>:<b>:<c>" for 0001 and 000A, "view:0013"
// The test application gives the resolver its main window; Run pumps its messages and the
// manager until a condition holds.
#pragma once
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "CQVUTransferManager.h"
#include "TestApp.h"
#include "UpdaterHost.h"
#include "UpdaterMessages.h"
#include "Wait.h"
#include "WinSock.h"

class RecordingTargets {
public:
    RecordingTargets()
    {
        SetViewMessageTarget(&m_view);
        SetAppMessageTarget(&m_app);
    }
    ~RecordingTargets()
    {
        SetViewMessageTarget(nullptr);
        SetAppMessageTarget(nullptr);
    }

    // The lines without the progress messages.
    std::vector<std::string> Steps() const
    {
        std::vector<std::string> steps;
        std::copy_if(lines.begin(), lines.end(), std::back_inserter(steps),
                     [](const std::string& line) { return line.compare(0, 9, "progress:") != 0; });
        return steps;
    }
    int Count(const std::string& line) const { return static_cast<int>(std::count(lines.begin(), lines.end(), line)); }

    std::vector<std::string> lines;
    // The body kept from kMsgFileArrived or kMsgUpdaterFileArrived.
    gCMemFile* keptBody = nullptr;

private:
    class Target : public gCCmdTarget {
    public:
        Target(RecordingTargets& owner, const char* prefix) : m_owner(owner), m_prefix(prefix) {}
        uint32_t OnMessage(uint32_t id, uint32_t a, uint32_t b, uint32_t c, uint32_t) override
        {
            std::string text;
            const bool line = id == kMsgStatusLine || id == kMsgReportClosingLine;
            for (const wchar_t* p = line ? reinterpret_cast<const gCString*>(a)->Text() : L""; *p; ++p)
                text += *p < 128 ? static_cast<char>(*p) : '?';
            const std::string colour = b == kLineRed        ? "red:"
                                       : b == kLineLightRed ? "lightred:"
                                       : b == kLineGreen    ? "green:"
                                                            : "black:";
            char hex[8];
            std::snprintf(hex, sizeof hex, "%04X", id & 0xFFFF);
            std::string seen = m_prefix + hex;
            if (id == kMsgStatusLine)
                seen = colour + text;
            else if (id == kMsgReportClosingLine)
                seen = "end-" + colour + text;
            else if (id == kMsgProgress)
                seen = "progress:" + std::to_string((static_cast<uint64_t>(c) << 32) | b);
            else if (id == kMsgTransferFailed || id == kMsgAnswerReported)
                seen += ":" + std::to_string(static_cast<int32_t>(b)) + ":" + std::to_string(static_cast<int32_t>(c));
            else if (id == kMsgFileArrived || id == kMsgUpdaterFileArrived)
                m_owner.keptBody = reinterpret_cast<gCMemFile*>(static_cast<uintptr_t>(b));
            m_owner.lines.push_back(seen);
            return 0;
        }

    private:
        RecordingTargets& m_owner;
        std::string m_prefix;
    };
    Target m_view{*this, "view:"};
    Target m_app{*this, "app:"};
};

class TransferFixture {
public:
    // The main window gets the content given, or a plain one.
    explicit TransferFixture(IWindowContent* content = nullptr) : manager(new CQVUTransferManager())
    {
        // The resolver answers through the main window.
        (void)(content ? app.OpenMainWindow(content, 0, 320, 200, "Test Window", 1) : app.OpenPlainWindow());
        (void)StartupWinSock(); // the manager's end cleans up, as the application's start-up pairs them
    }

    // Pumps until done() holds; false on timeout.
    bool Run(const std::function<bool()>& done, int ms = kWaitMs)
    {
        return WaitUntil(
            done, [this] { return DispatchQueued(), manager->PumpSessions(), true; }, ms);
    }
    // Runs until the active session has ended (its socket closed), then pumps once more to
    // delete what was retired.
    bool RunToEnd()
    {
        const bool ended = Run([this] { return !manager->GetSession() || !manager->GetSession()->HasSocket(); });
        manager->PumpSessions();
        return ended;
    }
    void RunFor(int ms)
    {
        const DWORD start = GetTickCount();
        (void)Run([&] { return GetTickCount() - start >= static_cast<DWORD>(ms); }); // a pause
    }
    // Runs until the lines stop growing for a moment after the count was reached.
    void RunUntilSteps(size_t count)
    {
        (void)Run([&] { return targets.Steps().size() >= count; }); // compared next
        RunFor(300);
    }
    // The manager's request, as the application's update check makes it.
    gCResult Request(const gCString& server, const wchar_t* target = L"/update?protocol=4")
    {
        return CQVUTransferManager::RequestURL(manager.get(), server, gCString(target));
    }

    TestApp app;
    RecordingTargets targets;
    std::unique_ptr<CQVUTransferManager> manager;
};

inline std::string BodyText(gCMemFile& body)
{
    const uint8_t* data = body.GetData();
    return data ? std::string(reinterpret_cast<const char*>(data), static_cast<size_t>(body.GetLength())) : "";
}
