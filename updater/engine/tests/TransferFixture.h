// A transfer manager on the real network stack with recording view and application targets:
// every updater message is written down in order, as one readable line each. The test
// application gives the resolver its main window; Run pumps its messages and the manager
// until a condition holds.
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "CQVUTransferManager.h"
#include "RecordingHost.h"
#include "TempFolder.h"
#include "TestApp.h"
#include "gCStringTable.h"

// What the targets saw, one line per message:
//   "<colour>:<text>" for a status line (kMsgStatusLine), colour black, red, lightred or green
//   "end-<colour>:<text>" for the closing line of an error report
//   "progress:<percent>"
//   "app:<id in hex>" or "app:<id>:<b>:<c>" for 0001 and 000A, "view:0013"
class RecordingTargets {
public:
    RecordingTargets();
    ~RecordingTargets();

    std::vector<std::string> lines;
    // The application answers kMsgSupplySession with a localised session when set.
    std::function<CQVUHTTPSession*()> supplySession;
    // The body kept from kMsgFileArrived or kMsgUpdaterFileArrived.
    gCMemFile* keptBody = nullptr;

    // The lines without the progress messages.
    std::vector<std::string> Steps() const;
    std::vector<int64_t> Progress() const;
    int Count(const std::string& line) const;

private:
    class Target;
    std::unique_ptr<Target> m_view;
    std::unique_ptr<Target> m_app;
};

// The updater's string table: the updater's localised texts read "T<n>".
class LocalTexts {
public:
    LocalTexts();
    RecordingHost host;
    gCStringTable table;
    TempFolder temp;
};

class TransferFixture {
public:
    // A localised manager with the texts of LocalTexts when asked for; the main window gets
    // the content given, or a plain one.
    explicit TransferFixture(bool localised = false, IWindowContent* content = nullptr);
    ~TransferFixture();

    // Pumps until done() holds; false on timeout.
    bool Run(const std::function<bool()>& done, int ms = 15000);
    // Runs until the active session has ended (its socket closed) and the lines settle.
    bool RunToEnd(int ms = 15000);
    void RunFor(int ms);

    // The manager's request, as the application's update check makes it.
    gCResult Request(const gCString& host, const wchar_t* target = L"/update?protocol=4");

    TestApp app;
    LocalTexts texts;
    RecordingTargets targets;
    std::unique_ptr<CQVUTransferManager> manager;
};

// The bytes of a body as text, for comparisons.
std::string BodyText(gCMemFile& body);
