#include "TransferFixture.h"

#include <windows.h>

#include <cstdio>
#include <new>

#include "EngineFixture.h"
#include "UpdaterMessages.h"
#include "Wait.h"
#include "WinSock.h"

namespace {

std::string Narrow(const gCString& text)
{
    std::string out;
    for (const wchar_t* p = text.Text(); *p; ++p)
        out += *p < 128 ? static_cast<char>(*p) : '?';
    return out;
}

std::string ColourName(uint32_t colour)
{
    switch (colour) {
    case kLineBlack:
        return "black";
    case kLineRed:
        return "red";
    case kLineLightRed:
        return "lightred";
    case kLineGreen:
        return "green";
    default: {
        char hex[16];
        std::snprintf(hex, sizeof hex, "%08X", colour);
        return hex;
    }
    }
}

std::string Hex4(uint32_t id)
{
    char hex[8];
    std::snprintf(hex, sizeof hex, "%04X", id & 0xFFFF);
    return hex;
}

} // namespace

class RecordingTargets::Target : public gCCmdTarget {
public:
    Target(RecordingTargets& owner, bool isApp) : m_owner(owner), m_isApp(isApp) {}

    uint32_t OnMessage(uint32_t id, uint32_t a, uint32_t b, uint32_t c, uint32_t) override
    {
        std::vector<std::string>& lines = m_owner.lines;
        const gCString* text = reinterpret_cast<const gCString*>(static_cast<uintptr_t>(a));
        switch (id) {
        case kMsgStatusLine:
            lines.push_back(ColourName(b) + ":" + Narrow(*text));
            return 0;
        case kMsgReportClosingLine:
            lines.push_back("end-" + ColourName(b) + ":" + Narrow(*text));
            return 0;
        case kMsgProgress:
            lines.push_back("progress:" + std::to_string(static_cast<int64_t>((static_cast<uint64_t>(c) << 32) | b)));
            return 0;
        case kMsgTransferFailed:
        case kMsgAnswerReported:
            lines.push_back("app:" + Hex4(id) + ":" + std::to_string(static_cast<int32_t>(b)) + ":" +
                            std::to_string(static_cast<int32_t>(c)));
            return 0;
        case kMsgSupplySession:
            if (m_owner.supplySession)
                *reinterpret_cast<CQVUHTTPSession**>(static_cast<uintptr_t>(b)) = m_owner.supplySession();
            break;
        case kMsgFileArrived:
        case kMsgUpdaterFileArrived:
            m_owner.keptBody = reinterpret_cast<gCMemFile*>(static_cast<uintptr_t>(b));
            break;
        default:
            break;
        }
        lines.push_back((m_isApp ? "app:" : "view:") + Hex4(id));
        return 0;
    }

private:
    RecordingTargets& m_owner;
    bool m_isApp;
};

RecordingTargets::RecordingTargets() : m_view(new Target(*this, false)), m_app(new Target(*this, true))
{
    SetViewMessageTarget(m_view.get());
    SetAppMessageTarget(m_app.get());
}

RecordingTargets::~RecordingTargets()
{
    SetViewMessageTarget(nullptr);
    SetAppMessageTarget(nullptr);
}

std::vector<std::string> RecordingTargets::Steps() const
{
    std::vector<std::string> steps;
    for (const std::string& line : lines)
        if (line.compare(0, 9, "progress:") != 0)
            steps.push_back(line);
    return steps;
}

std::vector<int64_t> RecordingTargets::Progress() const
{
    std::vector<int64_t> values;
    for (const std::string& line : lines)
        if (line.compare(0, 9, "progress:") == 0)
            values.push_back(std::stoll(line.substr(9)));
    return values;
}

int RecordingTargets::Count(const std::string& line) const
{
    int n = 0;
    for (const std::string& seen : lines)
        n += seen == line ? 1 : 0;
    return n;
}

LocalTexts::LocalTexts()
{
    host.blockOffset = 500;
    LoadLocalTexts(table, temp.File(L"texts.vsf"), host.blockOffset);
    host.table = &table;
}

TransferFixture::TransferFixture(bool localised, IWindowContent* content)
{
    // The resolver answers through the main window; a test that needs it checks for it.
    if (content)
        (void)app.OpenMainWindow(content, 0, 320, 200, "Test Window", 1);
    else
        (void)app.OpenPlainWindow();
    (void)StartupWinSock(); // the manager's end cleans up, as the application's start-up pairs them
    if (localised)
        manager.reset(new CQVULocalTransferManager(texts.host));
    else
        manager.reset(new CQVUTransferManager());
}

TransferFixture::~TransferFixture()
{
    manager.reset();
}

gCResult TransferFixture::Request(const gCString& host, const wchar_t* target)
{
    return CQVUTransferManager::RequestURL(manager.get(), host, gCString(target));
}

bool TransferFixture::Run(const std::function<bool()>& done, int ms)
{
    return WaitUntil(
        done,
        [this] {
            DispatchQueued();
            manager->PumpSessions();
            return true;
        },
        ms);
}

bool TransferFixture::RunToEnd(int ms)
{
    const bool ended = Run(
        [this] {
            CQVUHTTPSession* session = manager->GetSession();
            return !session || !session->HasSocket();
        },
        ms);
    // The pump after the end deletes what was retired.
    manager->PumpSessions();
    return ended;
}

void TransferFixture::RunFor(int ms)
{
    const DWORD start = GetTickCount();
    (void)Run([start, ms] { return GetTickCount() - start >= static_cast<DWORD>(ms); }, ms + 1000); // a pause
}

std::string BodyText(gCMemFile& body)
{
    const uint8_t* data = body.GetData();
    return data ? std::string(reinterpret_cast<const char*>(data), static_cast<size_t>(body.GetLength())) : "";
}
