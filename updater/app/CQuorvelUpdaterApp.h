// The updater's application object: start-up (the hold on its installation, the results log,
// the recovery of an interrupted installation, window, test mode, transfer manager, product
// facts, language block, sounds, slave mode), the engine's messages, the
// installation of a received, dropped or recorded archive, and the self-update launch. It is
// the engine's IUpdaterHost and the window's owner.
#pragma once
#include <cstdint>
#include <memory>

#include "CApp.h"
#include "CQVUDesquasher.h"
#include "CQuorvelUpdaterBackdrop.h"
#include "CResultsLog.h"
#include "CSound.h"
#include "ProductFacts.h"
#include "UpdaterHost.h"
#include "gCFile.h"

class CQVUTransferManager;

// The product's registry settings; the value "ID" is the request's key.
extern const wchar_t* const kProductSettingsKey;
// The product's program: nothing is installed while a process of this name runs.
extern const wchar_t* const kProductProcessName;

class CQuorvelUpdaterApp : public CApp, public IUpdaterHost, public IUpdaterWindowOwner {
public:
    CQuorvelUpdaterApp();
    ~CQuorvelUpdaterApp() override;

    // Takes the installation (or ends at once when another copy works on it), writes the
    // results log anew and finishes or undoes an interrupted installation, all before the
    // toolkit's start reads a file of the installation.
    int32_t Run(HINSTANCE instance, HINSTANCE previous, const char* commandLine, int32_t showMode) override;
    gCResult OnStart(gCString commandLine) override;
    gCResult OnAppTick() override;
    gCResult OnFilesDropped(gCStringArray& names) override;
    gCResult OnExit() override;
    uint32_t QueryClose() override;
    uint32_t OnMessage(uint32_t id, uint32_t a, uint32_t b, uint32_t c, uint32_t flag) override;

    // IUpdaterHost.
    gCResult PostStatusLine(gCString text, uint32_t colour, uint32_t presentFlag) override;
    gCResult WriteLogLine(gCString text) override;
    gCResult SetProgress(float fraction, uint32_t flag) override;
    gCResult SetCaptionText(gCString text, uint32_t flag) override;
    gCResult SaveUpdateSource(gCStream& archive) override;
    gCResult SelfUpdate() override;
    uint32_t GetSourceRecordFlag() const override { return m_sourceRecordFlag; }
    gCString GetProductBuildString() const override { return m_facts.buildString; }
    uint32_t GetLanguageBlockOffset() const override { return m_languageOffset; }
    const gCStringTable* GetStringTable() const override { return &m_stringTable; }
    // The installer asks for one per file: the window keeps drawing and the transfer keeps
    // polling at the heartbeat's pace, not at the pace of small files.
    gCResult TickNow() override;
    void Quit() override { QuitLater(); }
    void ReleaseArchive() override;

    // IUpdaterWindowOwner.
    void OnCheckWanted() override;
    void OnMainButton() override;
    // Status lines then go to the log only.
    void OnWindowClosed() override { m_backdrop = nullptr; }
    gCString Text(uint32_t n) const override;

    CQuorvelUpdaterBackdrop* GetBackdrop() const { return m_backdrop; }
    CQVUTransferManager* GetTransferManager() const { return m_manager.get(); }
    CQVUDesquasher& GetDesquasher() { return m_desquasher; }
    const CProductFacts& GetFacts() const { return m_facts; }
    bool IsTestMode() const { return m_testMode != 0; }
    bool IsSlave() const { return m_slave != 0; }

private:
    // The application's one state; every change goes through SetState.
    enum class State {
        kNew,                 // the installation is not yet taken over and prepared
        kStarting,            // the window opens; the check is not yet asked for
        kChecking,            // the request is under way, or its answer is read
        kAwaitingInstall,     // the slave holds its source record for the installer
        kInstalling,          // the installer runs
        kInstallingThenClose, // the installer runs; the window closes after it
        kCancelling,          // cancelled: the installer runs to its next file
        kCancellingThenClose, // as kCancelling; the window closes after it
        kHandedOver,          // the installed program or the slave copy takes over
        kDone,                // nothing more to do: the button closes the program
        kOffering,            // an answer names a download location: the button opens it
        kStopped,             // start-up failed; the program ends
    };

    void SetState(State next);
    bool InstallerRuns() const;
    bool CloseWanted() const;

    bool TakeInstallation();
    void PrepareInstallation();
    void RemoveSourceRecord();
    gCResult RemoveStaleSlave();
    gCResult OpenWindow();
    void ReadTestMode();
    void ReadProductFacts();
    gCResult OfferLocation();
    void LoadSounds();
    void PlaySound(int32_t index);
    void DetectSlave(const gCString& commandLine);
    // Installs the archive that is waiting, when nothing stands in the way.
    void InstallPending();
    gCResult Install(gCStream& archive);
    bool IsProductRunning();
    void Finish(uint32_t captionText);
    void SetButton(uint32_t text, float opacity);
    gCString ProgramFile(const wchar_t* name) const;

    CQVUDesquasher m_desquasher;
    std::unique_ptr<CQVUTransferManager> m_manager;
    CQuorvelUpdaterBackdrop* m_backdrop = nullptr;
    CResultsLog m_log;
    CProductFacts m_facts;
    gCString m_registryKey;
    gCString m_testServer;
    gCString m_location;
    int32_t m_testMode = 0;
    gCResult m_factsResult = kFileNotFound;
    uint32_t m_languageOffset = 0;
    uint32_t m_sourceRecordFlag = 0;
    int32_t m_slave = 0;
    State m_state = State::kNew;
    int32_t m_slaveStarted = 0;
    CQVUDesquasher::Recovery m_recovery = CQVUDesquasher::Recovery::kNone;
    // The slave's hold on the installation, and the sign that a slave works on it.
    CKernelHandle m_installationLock;
    CKernelHandle m_slaveSign;
    uint32_t m_lastTick = 0;
    std::unique_ptr<CSound> m_sounds[2];

    // The archive waiting for installation: the received update data (owned by the transfer
    // manager), a dropped file or the recorded source, each kept open here.
    gCStream* m_pending = nullptr;
    int32_t m_pendingText = 0;
    gCFile m_droppedFile;
    gCFile m_sourceFile;
};
