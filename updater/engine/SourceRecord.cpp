#include "SourceRecord.h"

#include "FileOps.h"
#include "PathSplit.h"
#include "gCFile.h"

const wchar_t* const kSourceRecordName = L"updatersource.qvu";

namespace {
gCResult CopyArchive(gCStream& archive, const gCString& path)
{
    QV_RETURN_IF_FAILED(archive.Rewind());
    gCFile file(kAccessWrite);
    QV_RETURN_IF_FAILED(file.OpenFullPath(path, kAccessWrite));
    QV_RETURN_IF_FAILED(archive.CopyRestTo(file));
    QV_RETURN_IF_FAILED(file.Close());
    return archive.Rewind();
}
} // namespace

gCResult WriteSourceRecord(const gCString& folder, gCStream& archive)
{
    gCString path;
    QV_RETURN_IF_FAILED(JoinFolderAndName(folder, gCString(kSourceRecordName), path));
    const gCResult written = CopyArchive(archive, path);
    if (written != kOk)
        (void)DeletePathFile(path); // the write's failure is the one to report
    return written;
}
