// The source record written from an archive: whole, in place of an older one, or not at all.
#include <gtest/gtest.h>

#include "ResultAssert.h"

#include "FileOps.h"
#include "ScriptedPeer.h"
#include "SourceRecord.h"
#include "TempFolder.h"
#include "gCMemFile.h"

namespace {
// An archive whose reading breaks off after its first piece, as a failing disk would.
class BrokenArchive : public gCMemFile {
public:
    gCResult ReadUpTo(void* buffer, uint32_t n, uint32_t& got) override
    {
        if (m_reads++ > 0)
            return kStreamFailure;
        return gCMemFile::ReadUpTo(buffer, n, got);
    }

private:
    int32_t m_reads = 0;
};
} // namespace

TEST(SourceRecord, TheWholeArchiveReplacesAnOlderRecordOrNoRecordIsLeft)
{
    TempFolder folder;
    const gCString folderText(folder.Path().c_str());
    const gCString record = folder.File(kSourceRecordName);
    ASSERT_TRUE(WriteWholeFile(record, Ansi(PatternBytes(300000))));

    const Bytes bytes = Ansi(PatternBytes(100000));
    gCMemFile archive;
    ASSERT_OK(archive.WriteBytes(bytes.data(), static_cast<uint32_t>(bytes.size())));
    EXPECT_OK(WriteSourceRecord(folderText, archive));
    EXPECT_EQ(ReadWholeFile(record), bytes);
    EXPECT_EQ(archive.Tell(), 0) << "the installer reads the archive again from its start";

    // Larger than one piece of the copy, so that a part is written before the failure.
    BrokenArchive broken;
    ASSERT_OK(broken.WriteBytes(bytes.data(), static_cast<uint32_t>(bytes.size())));
    EXPECT_RESULT(WriteSourceRecord(folderText, broken), kStreamFailure);
    EXPECT_FALSE(FileTextExists(record));

    EXPECT_RESULT(WriteSourceRecord(gCString((folder.Path() + L"missing\\").c_str()), archive), kFileOpenFailure);
    EXPECT_RESULT(WriteSourceRecord(gCString(L""), archive), kBadParameter);
}
