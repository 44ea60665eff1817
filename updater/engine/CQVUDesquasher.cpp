#include "CQVUDesquasher.h"

#include "AppHost.h"
#include "FileOps.h"
#include "FileOperationHook.h"
#include "LocalString.h"
#include "MessageBoxHook.h"
#include "gCFile.h"

namespace {
const wchar_t* const kSourceRecordName = L"updatersource.qvu";
} // namespace

CQVUDesquasher::CQVUDesquasher(IUpdaterHost& host) : m_host(host) {}

CQVUDesquasher::~CQVUDesquasher() = default;

gCString CQVUDesquasher::Text(uint32_t n) const
{
    return LocalText(m_host, n);
}

void CQVUDesquasher::PostLine(const gCString& text, uint32_t colour)
{
    PostLineBestEffort(m_host, text, colour);
}

void CQVUDesquasher::LogLine(const gCString& text)
{
    LogLineBestEffort(m_host, text);
}

gCResult CQVUDesquasher::DesquashAndInstall(gCStream& archive)
{
    m_archive = &archive;
    if (m_stopFlag) {
        PostLine(Text(58), kLineRed);
        return kGenericFailure;
    }
    if (m_installedFlag) {
        PostLine(gCString(L" "), kLineBlack);
        PostLine(Text(41), kLineRed);
        return kOk;
    }
    PostLine(Text(42), kLineBlack);

    if (ReadArchiveFile(archive) != 0) {
        PostLine(Text(44), kLineRed);
        return kGenericFailure;
    }
    if (ParseUpdateArchive() != 0) {
        PostLine(Text(45), kLineRed);
        return kGenericFailure;
    }
    gCResult target = CheckScriptTarget();
    if (target == kHandled)
        return kHandled;
    if (target != 0) {
        PostLine(gCString::ConcatText("PI Err: ", Text(45)), kLineRed);
        return kGenericFailure;
    }
    if (CheckWriteAccess() != 0) {
        for (int32_t i = 0; i < GetEntryCount(); ++i)
            RestoreReadOnly(i);
        PostLine(Text(46), kLineRed);
        return kGenericFailure;
    }
    // From here on the installation changes: a failure puts it back as it was.
    struct Step {
        gCResult (CQVUDesquasher::*run)();
        uint32_t failureText;
    };
    const Step steps[] = {
        {&CQVUDesquasher::WriteNewFiles, 47}, {&CQVUDesquasher::KeepOldFiles, 48}, {&CQVUDesquasher::MoveNewFiles, 49}};
    for (const Step& step : steps) {
        if ((this->*step.run)() != 0) {
            RollBack();
            PostLine(Text(step.failureText), kLineRed);
            return kGenericFailure;
        }
    }
    // It never fails: it reports its own problems and goes on.
    (void)DeleteOldFiles();

    m_installedFlag = 1;
    PostLine(gCString(L" "), kLineBlack);
    (void)m_host.SetCaptionText(Text(16), 1); // best effort, like a status line
    PostLine(Text(22), kLineBlack);
    return RunExecuteEntries();
}

gCResult CQVUDesquasher::CheckScriptTarget()
{
    const gCString& os = m_scriptValues[kOS];
    if (!os.IsEmpty() && !os.Equals(L"WIN32"))
        return kGenericFailure;
    gCString type = m_scriptValues[kType];
    type.MakeUpper();
    if (!type.Equals(L"UPDATER")) {
        // Stored upper-cased, while the product's build string keeps its own case.
        const gCString& build = m_scriptValues[kBuild];
        gCString product = m_host.GetProductBuildString();
        if (!build.IsEmpty() && !product.IsEmpty() && !build.EqualsNoCase(product.Text()))
            return kGenericFailure;
        return kOk;
    }
    if (m_host.GetSourceRecordFlag())
        return kOk;
    QV_RETURN_IF_FAILED(SaveSourceRecord());
    QV_RETURN_IF_FAILED(m_host.SelfUpdate());
    return kHandled;
}

// A byte-for-byte copy of the archive beside the program, for the slave copy to install.
gCResult CQVUDesquasher::SaveSourceRecord()
{
    if (!m_archive)
        return kBadParameter;
    QV_RETURN_IF_FAILED(m_archive->Rewind());
    const int64_t length = m_archive->GetLength();
    CMemBlockT<char> block;
    if (length < 0 || length > 0x7FFFFFFF || block.Resize(static_cast<int32_t>(length)) != 0)
        return kOutOfMemory;
    if (length > 0)
        QV_RETURN_IF_FAILED(m_archive->ReadBytes(block.Data(), static_cast<uint32_t>(length)));
    IAppHost* app = GetAppHost();
    gCString path = gCString::Concat(app ? app->GetProgramFolder() : gCString(L""), gCString(kSourceRecordName));
    gCFile file(kAccessWrite);
    QV_RETURN_IF_FAILED(file.OpenFullPath(path, kAccessWrite));
    gCResult written = length > 0 ? file.WriteBytes(block.Data(), static_cast<uint32_t>(length)) : kOk;
    const gCResult closed = file.Close();
    if (written == 0)
        written = closed;
    // A cut record would be taken for a download source at the next start.
    if (written != 0)
        (void)DeletePathFile(path); // the write's failure is the one to report
    return written;
}

gCResult CQVUDesquasher::RunExecuteEntries()
{
    const gCString& execute = m_scriptValues[kExecute];
    if (execute.IsEmpty())
        return kOk;
    if (!m_targetFolder.Exists())
        return kStreamFailure;
    gCFRef program(gCString::Concat(m_targetFolder.GetPath(), execute));
    if (!program.Exists())
        return kStreamFailure;
    QV_RETURN_IF_FAILED(ShellOpen(program.GetPathString(), gCString(L"")));
    m_host.Quit();
    return kHandled;
}
