#include "CQuorvelUpdaterApp.h"

#include <mmsystem.h>

#include <cwchar>
#include <cwctype>
#include <new>

#include "CQVUTransferManager.h"
#include "CWindowBase.h"
#include "FileOps.h"
#include "LocalString.h"
#include "MessageBoxHook.h"
#include "ReportError.h"
#include "SourceRecord.h"
#include "StateTrace.h"
#include "UpdateRequest.h"
#include "UpdaterResourceIds.h"
#include "UpdaterMessages.h"
#include "UpdaterTexts.h"
#include "WidgetServices.h"
#include "WinHandle.h"
#include "WinSock.h"
#include "gCFRef.h"
#include "gCStringArray.h"

const wchar_t* const kProductSettingsKey = L"Software\\Tallowmere\\Quorvel2\\Settings";
const wchar_t* const kProductProcessName = L"QUORVEL.EXE";

namespace {
const wchar_t* const kLogName = L"UpdateResults.log";
const wchar_t* const kTestModeName = L"testmode";
const wchar_t* const kSlaveName = L"QVUSlave.exe";
const wchar_t* const kProductFactsPath = L"Resources\\system.vsf";
const wchar_t* const kTestModeWarning = L"WARNING - IN LOCAL TEST MODE! NOT FOR GENERAL USE!";
const int32_t kIconId = QVU_ICON_RESOURCE;
const uint32_t kWindowFlags = 6;
// The slave waits this long at most for the copy that started it to end, and a copy started
// while a slave works waits as long for it.
const DWORD kHandOverWaitMs = 30000;
// The least time between two ticks that the installer asks for: a tick costs about half a
// millisecond under Wine, a small file's step less than a tenth of that.
const uint32_t kTickNowSpacingMs = 40;

// In test mode a message box is a line of the results log, answered with OK: the program runs
// unattended against the local test server.
CResultsLog* gBoxLog = nullptr;
MessageBoxFn gBoxBefore = nullptr;
int LogMessageBox(HWND, const wchar_t* text, const wchar_t* caption, UINT)
{
    if (gBoxLog) {
        gCString line(L"[box] ");
        (void)line.AppendText(caption); // a shorter line is still a line
        (void)line.AppendText(L": ");
        (void)line.AppendText(text);
        (void)gBoxLog->WriteLine(line); // nothing else could keep it
    }
    return IDOK;
}

// What the log says of a facts table that is there but could not be read.
uint32_t FactsReasonText(gCResult result)
{
    switch (result) {
    case kFileOpenFailure:
        return kTextFactsNotOpened;
    case kOutOfRange:
        return kTextFactsTooLarge;
    case kKeyNotFound:
        return kTextFactsIncomplete;
    default:
        return kTextFactsDamaged;
    }
}

bool FileIsThere(const gCString& path)
{
    return FileExists(gCFRef(path));
}

// One name per installation folder, however its path is spelled: every copy of the updater in
// that folder meets the same objects, copies in other folders never. A drive letter that leads
// to the folder, its short name or a link to it are other texts for the same folder, so the name
// comes from the folder's volume and file index; only when the system cannot give those does
// it come from the path's text, whatever its case.
gCString InstallationName(const gCString& folder)
{
    wchar_t name[64];
    CFileHandle handle(CreateFileW(folder.Text(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION identity = {};
    if (handle.IsValid() && GetFileInformationByHandle(handle.Get(), &identity)) {
        std::swprintf(name, 64, L"QVUpdater-%08lx-%08lx%08lx", identity.dwVolumeSerialNumber, identity.nFileIndexHigh,
                      identity.nFileIndexLow);
        return gCString(name);
    }
    uint64_t hash = 14695981039346656037ull;
    for (int32_t i = 0; i < folder.Length(); ++i) {
        hash ^= static_cast<uint16_t>(towupper(folder[i]));
        hash *= 1099511628211ull;
    }
    std::swprintf(name, 64, L"QVUpdater-%016llx", static_cast<unsigned long long>(hash));
    return gCString(name);
}
} // namespace

CQuorvelUpdaterApp::CQuorvelUpdaterApp() : CApp(GetWidgetServices()), m_desquasher(*this)
{
    SetResourceFileName(gCString(L"QVUpdater.vrf"));
    SetStringTableFileName(gCString(L"QVUpdater.vsf"));
    SetFontResourceFileName(gCString(L""));
}

CQuorvelUpdaterApp::~CQuorvelUpdaterApp()
{
    m_manager.reset();
    if (gBoxLog == &m_log) {
        SetMessageBoxFunction(gBoxBefore);
        gBoxLog = nullptr;
    }
}

gCString CQuorvelUpdaterApp::ProgramFile(const wchar_t* name) const
{
    return gCString::Concat(GetProgramFolder(), gCString(name));
}

gCString CQuorvelUpdaterApp::Text(uint32_t n) const
{
    return LocalText(*this, n);
}

int32_t CQuorvelUpdaterApp::Run(HINSTANCE instance, HINSTANCE previous, const char* commandLine, int32_t showMode)
{
    gCString line;
    (void)line.SetAnsi(commandLine); // short of memory the copy is no slave
    DetectSlave(line);
    // A second copy ends here, as the toolkit's Run does for a second instance, before it
    // writes a log of its own.
    if (!TakeInstallation())
        return 0;
    PrepareInstallation();
    return CApp::Run(instance, previous, commandLine, showMode);
}

// One copy works on an installation at a time. A main copy holds the instance mutex from its
// start to its end, and owns it, so that the moment it ends can be waited for. The slave, which
// a main copy starts as it ends, first shows that it works here and holds the mutex too, so
// that no main copy slips in between the two; it takes the installation once the copy that
// started it has ended.
bool CQuorvelUpdaterApp::TakeInstallation()
{
    const gCString lockName = InstallationName(GetProgramFolder());
    const gCString slaveName = gCString::Concat(lockName, gCString(L" slave"));
    if (m_slave) {
        m_slaveSign.Reset(CreateMutexW(nullptr, TRUE, slaveName.Text()));
        m_installationLock.Reset(CreateMutexW(nullptr, FALSE, lockName.Text()));
        if (!m_installationLock.IsValid())
            return false;
        const DWORD waited = WaitForSingleObject(m_installationLock.Get(), kHandOverWaitMs);
        return waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
    }
    // The new updater that a slave starts comes while the slave ends. Either way the instance
    // mutex decides; without one (the system refused it) the copy works as before.
    CKernelHandle slave(OpenMutexW(SYNCHRONIZE, FALSE, slaveName.Text()));
    if (slave.IsValid())
        (void)WaitForSingleObject(slave.Get(), kHandOverWaitMs);
    (void)CreateInstanceMutex(lockName);
    if (m_instanceMutex.IsValid() && m_mutexError == ERROR_ALREADY_EXISTS)
        return false;
    if (m_instanceMutex.IsValid())
        (void)WaitForSingleObject(m_instanceMutex.Get(), 0); // a fresh mutex is free
    return true;
}

// What must happen before anything of the installation is read: the log anew, and an
// interrupted installation finished or undone.
void CQuorvelUpdaterApp::PrepareInstallation()
{
    if (m_state != State::kNew)
        return;
    SetState(State::kStarting);
    // Without the log the updater still updates; the lines stay on screen.
    (void)m_log.Open(ProgramFile(kLogName));
    // Known before anything can show a box (the resources, the recovery): in test mode every
    // box of the start is a line of the log too.
    ReadTestMode();
    m_recovery = m_desquasher.RecoverInterrupted();
    // A record that no slave is going to read would make this copy take itself for one.
    if (!m_slave)
        RemoveSourceRecord();
}

void CQuorvelUpdaterApp::RemoveSourceRecord()
{
    (void)m_sourceFile.Close(); // read only: nothing of it is lost
    const gCString record = ProgramFile(kSourceRecordName);
    if (FileIsThere(record))
        (void)DeletePathFile(record); // one that stays is removed by the next main start
}

gCResult CQuorvelUpdaterApp::OnStart(gCString commandLine)
{
    SetAppMessageTarget(this);
    if (m_state == State::kNew)
        DetectSlave(commandLine);
    PrepareInstallation();
    QV_RETURN_IF_FAILED(OpenWindow());

    m_manager.reset(new (std::nothrow) CQVULocalTransferManager(*this));
    if (!m_manager)
        return kOutOfMemory;
    if (StartupWinSock() != 0) {
        // Its box was the one message: the program ends before it reads or changes anything.
        // Returned, the failure would be shown a second time by Run.
        SetState(State::kStopped);
        QuitLater();
        return kOk;
    }

    ReadProductFacts();
    m_languageOffset = ChooseLanguageBlock(m_stringTable, m_facts.language);
    m_sourceRecordFlag = FileIsThere(ProgramFile(kSourceRecordName)) ? 1 : 0;

    (void)m_backdrop->SetCaptionText(Text(kTextCaptionChecking), 1); // drawn at the next paint otherwise
    if (m_testMode)
        (void)PostStatusLine(gCString(kTestModeWarning), kLineRed, 1); // logged even if the list is full
    m_desquasher.PostRecoveryLine(m_recovery);
    if (m_factsResult != kOk) {
        SetState(State::kStopped);
        ShowMessageBox(GetMainWindowHandle(), Text(kTextFactsMissing).Text(), Text(kTextBoxCaption).Text(),
                       MB_OK | MB_ICONSTOP);
        (void)WriteLogLine(Text(kTextFactsMissing)); // the box said it; the log keeps it if it can
        if (m_factsResult != kFileNotFound)
            (void)WriteLogLine(
                gCString::Concat(Text(kTextFactsUnreadable), Text(FactsReasonText(m_factsResult)))); // as above
        QuitLater();
        return kOk;
    }
    LoadSounds();
    if (!m_slave)
        (void)RemoveStaleSlave(); // a copy still running is left for next time
    // The button cancels from now on: it is drawn as the working button it is.
    SetButton(kTextButtonCancel, 1.0f);
    return kOk;
}

gCResult CQuorvelUpdaterApp::OpenWindow()
{
    m_backdrop = new (std::nothrow) CQuorvelUpdaterBackdrop(this, &m_log);
    if (!m_backdrop)
        return kOutOfMemory;
    SetViewMessageTarget(m_backdrop);
    // Fonts load from the font resource file, which is the resource file itself unless the
    // application names another.
    m_backdrop->LoadResources(nullptr, nullptr, GetFontResourceStream(), GetFontResourceDirectory());
    // No title: the window takes the backdrop's name.
    gCResult opened = OpenMainWindowAt(m_backdrop, kIconId, kWindowFlags, static_cast<float>(m_backdrop->GetWidth()),
                                       static_cast<float>(m_backdrop->GetHeight()), -1.0f, -1.0f, nullptr, 0);
    if (opened != kOk) {
        // The window gave the content back.
        if (!GetMainWindow() || GetMainWindow()->GetContent() != m_backdrop)
            delete m_backdrop;
        m_backdrop = nullptr;
        return opened;
    }
    EnableHeartbeatWork();
    return kOk;
}

void CQuorvelUpdaterApp::ReadTestMode()
{
    const gCString marker = ProgramFile(kTestModeName);
    if (!FileIsThere(marker))
        return;
    m_testMode = 1;
    gBoxLog = &m_log;
    gBoxBefore = SetMessageBoxFunction(LogMessageBox);
    char bytes[256] = {};
    uint32_t got = 0;
    gCFile file;
    if (file.OpenFullPath(marker, kAccessRead) == kOk && file.ReadUpTo(bytes, sizeof bytes - 1, got) != kOk)
        got = 0;
    // Short of memory the name stays empty: the check then fails rather than ask another server.
    (void)TestServerFromMarker(bytes, static_cast<int32_t>(got), m_testServer);
}

void CQuorvelUpdaterApp::ReadProductFacts()
{
    m_factsResult = m_facts.Read(ProgramFile(kProductFactsPath));
    // Without a key the server still answers; it is an installation's own number.
    if (ReadUserString(gCString(kProductSettingsKey), gCString(L"ID"), m_registryKey) != kOk &&
        ReadMachineString(gCString(kProductSettingsKey), gCString(L"ID"), m_registryKey) != kOk)
        (void)m_registryKey.SetText(L"");
}

void CQuorvelUpdaterApp::DetectSlave(const gCString& commandLine)
{
    gCString module = GetProcessName();
    module.MakeUpper();
    gCString first, rest;
    commandLine.Trimmed(gCString(L" \t")).Split(first, rest, gCString(L" \t"), 1);
    first.Trim(gCString(L"\""));
    m_slave = (wcsstr(module.Text(), L"SLAVE") != nullptr && first.Equals(L"slave")) ? 1 : 0;
}

void CQuorvelUpdaterApp::SetButton(uint32_t text, float opacity)
{
    if (!m_backdrop)
        return;
    (void)m_backdrop->SetButtonText(Text(text)); // drawn at the next paint otherwise
    m_backdrop->SetButtonOpacity(opacity);
}

void CQuorvelUpdaterApp::Finish(uint32_t captionText)
{
    switch (m_state) {
    case State::kOffering:
    case State::kCancelling:
    case State::kCancellingThenClose:
        break;
    case State::kInstalling:
        SetState(State::kCancelling);
        break;
    case State::kInstallingThenClose:
        SetState(State::kCancellingThenClose);
        break;
    default:
        SetState(State::kDone);
        break;
    }
    if (m_backdrop && captionText)
        (void)m_backdrop->SetCaptionText(Text(captionText), 1); // as SetButton
    if (m_state != State::kOffering)
        SetButton(kTextButtonClose, 1.0f);
}

void CQuorvelUpdaterApp::OnCheckWanted()
{
    if (m_state != State::kStarting)
        return;
    if (m_slave) {
        SetState(State::kAwaitingInstall);
        (void)SetCaptionText(Text(kTextCaptionSlave), 1);
        if (m_sourceFile.OpenFullPath(ProgramFile(kSourceRecordName), kAccessRead) != kOk) {
            (void)PostStatusLine(Text(kTextSlaveInstallFailed), kLineRed, 1); // shown; nothing more to do
            RemoveSourceRecord();
            Finish(kTextCaptionFailed);
            return;
        }
        (void)PostStatusLine(Text(kTextInstallingSource), kLineBlack, 1);
        m_pending = &m_sourceFile;
        return;
    }
    SetState(State::kChecking);
    gCString line = Text(kTextCheckingFor);
    (void)line.Append(m_facts.application);
    (void)line.AppendChar(L' ');
    (void)line.Append(m_facts.version);
    (void)PostStatusLine(line, kLineBlack, 1);
    gCResult result =
        m_backdrop->BuildUpdateURL(m_manager.get(), m_facts, m_registryKey, m_testMode != 0, m_testServer);
    if (result != kOk) {
        ReportError(result, nullptr);
        Finish(kTextCaptionFailed);
    }
}

void CQuorvelUpdaterApp::OnMainButton()
{
    switch (m_state) {
    case State::kChecking:
        if (m_manager)
            m_manager->CancelTransfer();
        [[fallthrough]];
    case State::kAwaitingInstall:
    case State::kInstalling:
    case State::kInstallingThenClose:
    case State::kHandedOver:
        (void)OnMessage(kMsgStopInstalling, 0, 0, 0, 1); // the view does nothing with it
        (void)PostStatusLine(Text(kTextCancelled), kLineRed, 1);
        m_pending = nullptr;
        Finish(kTextCaptionFailed);
        break;
    case State::kOffering:
        // The user's browser or file manager shows the location.
        if (ShellOpen(m_location, gCString(L"")) != kOk)
            ReportError(kFileNotFound, m_location.ToAnsi());
        break;
    default:
        QuitLater();
        break;
    }
}

void CQuorvelUpdaterApp::SetState(State next)
{
    if (next == m_state)
        return;
    static const StateName<State> names[] = {
        {State::kNew, "new"},
        {State::kStarting, "starting"},
        {State::kChecking, "checking"},
        {State::kAwaitingInstall, "awaiting install"},
        {State::kInstalling, "installing"},
        {State::kInstallingThenClose, "installing, then close"},
        {State::kCancelling, "cancelling"},
        {State::kCancellingThenClose, "cancelling, then close"},
        {State::kHandedOver, "handed over"},
        {State::kDone, "done"},
        {State::kOffering, "offering"},
        {State::kStopped, "stopped"},
    };
    static_assert(sizeof names / sizeof names[0] == static_cast<size_t>(State::kStopped) + 1, "a name for every state");
    TraceStateChange("updater", names, m_state, next);
    m_state = next;
}

bool CQuorvelUpdaterApp::InstallerRuns() const
{
    return m_state == State::kInstalling || m_state == State::kInstallingThenClose || m_state == State::kCancelling ||
           m_state == State::kCancellingThenClose;
}

bool CQuorvelUpdaterApp::CloseWanted() const
{
    return m_state == State::kInstallingThenClose || m_state == State::kCancellingThenClose;
}

gCResult CQuorvelUpdaterApp::TickNow()
{
    // Before the window opens there is nothing to draw nor to poll.
    if (!m_backdrop)
        return kOk;
    const uint32_t now = timeGetTime();
    if (now - m_lastTick < kTickNowSpacingMs)
        return kOk;
    m_lastTick = now;
    return CApp::TickNow();
}

gCResult CQuorvelUpdaterApp::OnAppTick()
{
    if (m_manager)
        m_manager->PumpSessions();
    InstallPending();
    return kOk;
}

uint32_t CQuorvelUpdaterApp::QueryClose()
{
    // An installation runs to a safe end first; the window closes after it.
    if (InstallerRuns()) {
        SetState(m_state == State::kInstalling ? State::kInstallingThenClose : State::kCancellingThenClose);
        return 0;
    }
    return 2;
}

gCResult CQuorvelUpdaterApp::OnExit()
{
    // The record outlives only a run that started a slave to read it.
    if (m_slave || !m_slaveStarted)
        RemoveSourceRecord();
    m_backdrop = nullptr;
    SetViewMessageTarget(nullptr);
    m_log.Close();
    return kOk;
}

bool CQuorvelUpdaterApp::IsProductRunning()
{
    gCStringArray names;
    // A list that cannot be read proves nothing: replacing the files of a running product would
    // break it, so the install goes on only on a list that says it is closed.
    if (GetProcessNames(names) != kOk)
        return true;
    for (int32_t i = 0; i < names.Count(); ++i)
        if (names[i].EqualsNoCase(kProductProcessName))
            return true;
    return false;
}

void CQuorvelUpdaterApp::InstallPending()
{
    if (!m_pending || InstallerRuns())
        return;
    gCStream* archive = m_pending;
    m_pending = nullptr;
    if (IsProductRunning()) {
        (void)PostStatusLine(Text(kTextProductRunning), kLineRed, 1); // shown and logged as far as possible
        Finish(kTextCaptionFailed);
        return;
    }
    SetState(State::kInstalling);
    (void)SetCaptionText(Text(kTextCaptionInstalling), 1); // drawn at the next paint otherwise
    gCResult result = Install(*archive);
    // Whatever the outcome, nothing installs these bytes again: the program's end need not
    // give them back.
    m_desquasher.ReleaseArchive();
    const bool cancelled = m_state == State::kCancelling || m_state == State::kCancellingThenClose;
    const bool closeWanted = CloseWanted();
    SetState(cancelled || result != kHandled ? State::kDone : State::kHandedOver);
    // Installed or not, the record has served: a later start must not take itself for the slave.
    if (m_slave)
        RemoveSourceRecord();
    if (result == kHandled) {
        // The installed program or the slave copy takes over.
        QuitLater();
        return;
    }
    if (m_slave && result != kOk) {
        (void)PostStatusLine(Text(kTextSlaveInstallFailed), kLineRed, 1); // as above
    }
    Finish(result == kOk && m_desquasher.GetInstalledFlag() ? kTextCaptionDone : kTextCaptionFailed);
    if (closeWanted)
        QuitLater();
}

void CQuorvelUpdaterApp::ReleaseArchive()
{
    // Only a received archive is held in memory; a dropped or recorded one is read from its file.
    if (m_manager)
        m_manager->ReleaseDelivered();
}

gCResult CQuorvelUpdaterApp::Install(gCStream& archive)
{
    if (archive.Rewind() != kOk)
        return kStreamFailure;
    return m_desquasher.DesquashAndInstall(archive);
}

gCResult CQuorvelUpdaterApp::OnFilesDropped(gCStringArray& names)
{
    if (names.Count() == 0 || InstallerRuns() || m_state == State::kStopped)
        return kOk;
    if (m_droppedFile.OpenFullPath(names[0], kAccessRead) != kOk) {
        (void)PostStatusLine(gCString::Concat(Text(kTextInstallingDropped), names[0]), kLineRed, 1); // shown
        return kOk;
    }
    (void)PostStatusLine(gCString::Concat(Text(kTextInstallingDropped), names[0]), kLineBlack, 1); // shown
    m_pending = &m_droppedFile;
    return kOk;
}

// The one writer of the source record: the installer before it starts the slave, and the
// received update of the updater itself.
gCResult CQuorvelUpdaterApp::SaveUpdateSource(gCStream& archive)
{
    return WriteSourceRecord(GetProgramFolder(), archive);
}

// A slave file is the updater's own, read-only or not; a folder of its name is the user's and
// stays, and so does a copy that still runs.
gCResult CQuorvelUpdaterApp::RemoveStaleSlave()
{
    const gCString slave = ProgramFile(kSlaveName);
    if (!FileIsThere(slave))
        return kOk;
    const DWORD attributes = GetFileAttributesW(slave.Text());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
        (attributes & FILE_ATTRIBUTE_READONLY) != 0)
        (void)SetFileAttributesW(slave.Text(), attributes & ~FILE_ATTRIBUTE_READONLY); // the delete tells
    return DeletePathFile(slave);
}

gCResult CQuorvelUpdaterApp::SelfUpdate()
{
    const gCString slave = ProgramFile(kSlaveName);
    gCResult result = RemoveStaleSlave();
    wchar_t self[MAX_PATH] = {};
    if (result == kOk && !GetOwnProgramPath(self))
        result = kPathFailure;
    if (result == kOk)
        result = CopyPathFile(gCString(self), slave, 0);
    if (result == kOk)
        result = ShellOpen(slave, gCString(L"slave"));
    m_slaveStarted = result == kOk ? 1 : 0;
    if (result != kOk) {
        // With no slave to install it, the record would make the next start install as the slave.
        RemoveSourceRecord();
        ReportError(kCreateFailure, "Quorvel Updater couldn't update itself.");
        return result;
    }
    (void)PostStatusLine(Text(kTextSelfUpdateStarted), kLineBlack, 1); // the slave goes on either way
    return kOk;
}

gCResult CQuorvelUpdaterApp::PostStatusLine(gCString text, uint32_t colour, uint32_t presentFlag)
{
    if (!m_backdrop)
        return WriteLogLine(text);
    return m_backdrop->PostStatusLine(text, colour, presentFlag);
}

gCResult CQuorvelUpdaterApp::WriteLogLine(gCString text)
{
    // As the window's own lines: a log that fails later misses the line, and nothing else does.
    (void)m_log.WriteLine(text);
    return kOk;
}

gCResult CQuorvelUpdaterApp::SetProgress(float fraction, uint32_t flag)
{
    return m_backdrop ? m_backdrop->SetProgress(fraction, flag) : gCResult(kOk);
}

gCResult CQuorvelUpdaterApp::SetCaptionText(gCString text, uint32_t flag)
{
    return m_backdrop ? m_backdrop->SetCaptionText(text, flag) : gCResult(kOk);
}
