#include "CQVUDesquasher.h"

#include <utility>

#include "FileOps.h"
#include "FileOperationHook.h"
#include "LocalString.h"
#include "LocalTextIds.h"
#include "MessageBoxHook.h"
#include "PathSplit.h"
#include "gCFile.h"

CQVUDesquasher::CQVUDesquasher(IUpdaterHost& host) : m_host(host) {}

CQVUDesquasher::~CQVUDesquasher() = default;

gCString CQVUDesquasher::Text(uint32_t n) const
{
    return LocalText(m_host, n);
}

void CQVUDesquasher::PostLine(gCString text, uint32_t colour)
{
    m_textLost |= text.IsUnset() ? 1u : 0u;
    (void)m_host.PostStatusLine(std::move(text), colour, 1); // the window's own failure
}

void CQVUDesquasher::LogLine(gCString text)
{
    m_textLost |= text.IsUnset() ? 1u : 0u;
    (void)m_host.WriteLogLine(std::move(text)); // the log's own failure
}

// A step whose lines were lost to memory has failed with them: the run must not report
// success with a line missing.
gCResult CQVUDesquasher::Checked(gCResult stepResult) const
{
    return stepResult == kOk && m_textLost ? kOutOfMemory : stepResult;
}

gCResult CQVUDesquasher::DesquashAndInstall(gCStream& archive)
{
    m_archive = &archive;
    m_textLost = 0;
    m_rightsUser.Forget();
    if (m_stopFlag) {
        PostLine(Text(kTextStopped), kLineRed);
        return kGenericFailure;
    }
    if (m_installedFlag) {
        PostLine(gCString(L" "), kLineBlack);
        PostLine(Text(kTextAlreadyInstalled), kLineRed);
        return kOk;
    }
    // A run never meets the leftovers of an interrupted one.
    const Recovery recovery = RecoverInterrupted();
    PostRecoveryLine(recovery);
    if (recovery == Recovery::kFailed) {
        PostLine(Text(kTextAccessFailed), kLineRed);
        return kGenericFailure;
    }
    PostLine(Text(kTextInstallStarting), kLineBlack);

    if (Checked(ReadArchiveFile(archive)) != kOk) {
        PostLine(Text(kTextArchiveUnreadable), kLineRed);
        return kGenericFailure;
    }
    if (Checked(ParseUpdateArchive()) != kOk) {
        PostLine(Text(kTextArchiveMalformed), kLineRed);
        return kGenericFailure;
    }
    gCResult target = CheckScriptTarget();
    if (target == kHandled)
        return kHandled;
    if (target != kOk) {
        // A self-update that could not start has said why; the archive is not at fault.
        if (!m_selfUpdateFailed)
            PostLine(gCString::ConcatText("PI Err: ", Text(kTextArchiveMalformed)), kLineRed);
        return kGenericFailure;
    }
    if (Checked(CheckWriteAccess()) != kOk) {
        for (int32_t i = 0; i < GetEntryCount(); ++i)
            RestoreReadOnly(i);
        PostLine(Text(kTextAccessFailed), kLineRed);
        return kGenericFailure;
    }
    // What follows is on the disk before the first change.
    if (Checked(PlanFolders()) != kOk || ProveNewFiles() != kOk || WriteJournal() != kOk) {
        for (int32_t i = 0; i < GetEntryCount(); ++i)
            RestoreReadOnly(i);
        PostLine(Text(kTextWriteFailed), kLineRed);
        return kGenericFailure;
    }
    // From here on the installation changes: a failure puts it back as it was.
    struct Step {
        gCResult (CQVUDesquasher::*run)();
        uint32_t failureText;
    };
    const Step steps[] = {{&CQVUDesquasher::WriteNewFiles, kTextWriteFailed},
                          {&CQVUDesquasher::MarkJournalWritten, kTextWriteFailed},
                          {&CQVUDesquasher::KeepOldFiles, kTextKeepFailed},
                          {&CQVUDesquasher::MoveNewFiles, kTextMoveFailed},
                          {&CQVUDesquasher::MarkJournalDone, kTextMoveFailed}};
    for (const Step& step : steps) {
        if (Checked((this->*step.run)()) != kOk) {
            const Undo undo = TurnBack();
            if (undo == Undo::kWhole)
                RemoveJournal();
            else
                m_journal.Reset(); // the next start finishes what is left, with what the journal names
            // Every target is back unless the line says otherwise.
            PostLine(Text(undo == Undo::kNotBack ? kTextRecoveryFailed : step.failureText), kLineRed);
            return kGenericFailure;
        }
    }
    // From here on nothing asks for memory until the program is started.
    (void)DeleteOldFiles(); // never fails: it reports its own problems
    RemoveJournal();

    m_installedFlag = 1;
    PostLine(std::move(m_finishLines[kBlankLine]), kLineBlack);
    (void)m_host.SetCaptionText(std::move(m_finishLines[kCaptionText]), 1); // display only
    PostLine(std::move(m_finishLines[kInstalledLine]), kLineBlack);
    ReleaseArchive();
    return RunExecuteEntries();
}

gCResult CQVUDesquasher::CheckScriptTarget()
{
    m_selfUpdateFailed = 0;
    const gCString& os = m_scriptValues[kOS];
    if (!os.IsEmpty() && !os.Equals(L"WIN32"))
        return kGenericFailure;
    // A copy lost to memory would read as no type, and an updater would install here.
    gCString type;
    QV_RETURN_IF_FAILED(type.SetString(m_scriptValues[kType]));
    type.MakeUpper();
    if (!type.Equals(L"UPDATER")) {
        // Stored upper-cased, while the product's build string keeps its own case.
        const gCString& build = m_scriptValues[kBuild];
        gCString product = m_host.GetProductBuildString();
        if (product.IsUnset())
            return kOutOfMemory;
        if (!build.IsEmpty() && !product.IsEmpty() && !build.EqualsNoCase(product.Text()))
            return kGenericFailure;
        return kOk;
    }
    if (m_host.GetSourceRecordFlag())
        return kOk;
    QV_RETURN_IF_FAILED(SaveSourceRecord());
    ReleaseArchive(); // the slave installs from the record
    const gCResult started = m_host.SelfUpdate();
    m_selfUpdateFailed = started != kOk ? 1 : 0;
    return started != kOk ? started : gCResult(kHandled);
}

// A byte-for-byte copy of the archive beside the program, for the slave copy to install.
gCResult CQVUDesquasher::SaveSourceRecord()
{
    if (!m_archive)
        return kBadParameter;
    return m_host.SaveUpdateSource(*m_archive);
}

void CQVUDesquasher::ReleaseArchive()
{
    m_unpacked.Free();
    m_readBlock.Free();
    m_archive = nullptr;
    m_host.ReleaseArchive();
}

gCResult CQVUDesquasher::RunExecuteEntries()
{
    const gCString& execute = m_scriptValues[kExecute];
    if (execute.IsEmpty())
        return kOk;
    if (!m_targetFolder.Exists())
        return kStreamFailure;
    gCString path;
    QV_RETURN_IF_FAILED(JoinFolderAndName(m_targetFolder.GetStoredText(), execute, path));
    gCFRef program;
    QV_RETURN_IF_FAILED(program.SetFilePath(path));
    if (!program.Exists())
        return kStreamFailure;
    QV_RETURN_IF_FAILED(ShellOpen(program.GetStoredText(), gCString(L"")));
    m_host.Quit();
    return kHandled;
}
