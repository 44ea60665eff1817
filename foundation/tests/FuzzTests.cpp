#include <gtest/gtest.h>

#include "ResultAssert.h"

#include <random>

#include "BoxCapture.h"
#include "CResourceDirectory.h"
#include "CResourceFileWriter.h"
#include "CStringTableWriter.h"
#include "CText.h"
#include "TempFolder.h"
#include "gCFile.h"
#include "gCMemFile.h"
#include "gCStringTable.h"

namespace {

testing::AssertionResult IsResultCode(gCResult r)
{
    return r >= 0 && r <= kKeyNotFound ? testing::AssertionSuccess() : testing::AssertionFailure() << r;
}

Bytes WriterBytes(CFormatWriter& writer)
{
    return Bytes(writer.GetData(), writer.GetData() + writer.GetSize());
}

Bytes ValidStringTable()
{
    CStringTableWriter writer;
    EXPECT_OK(writer.AddRecord(1, gCString(L"QV2_Version"), gCString(L"2.1")));
    EXPECT_OK(writer.AddRecord(3000000000u, gCString(L"Local_Current"), gCString(L"English|Deutsch")));
    EXPECT_OK(writer.AddRecord(7, gCString(L""), gCString(L"a||b")));
    return WriterBytes(writer);
}

Bytes ValidResourceFile()
{
    CResourceFileWriter writer;
    EXPECT_OK(writer.AddVersion(2));
    gCMemFile text;
    EXPECT_OK(CResourceFileWriter::WriteTextBody(text, gCString(L"hello")));
    EXPECT_OK(writer.AddResource('text', 1, gCString(L"Title"), text));
    EXPECT_OK(writer.AddResource('wdgt', 3, gCString(L"Other"), text));
    return WriterBytes(writer);
}

// Every damaged variant of the valid files: each cut, random byte changes, hostile sizes and
// counts written over the fields.
std::vector<Bytes> DamagedInputs(const Bytes& valid, std::mt19937& random)
{
    std::vector<Bytes> inputs;
    for (size_t cut = 0; cut <= valid.size(); ++cut)
        inputs.emplace_back(valid.begin(), valid.begin() + cut);
    const uint32_t hostile[] = {0, 1, 3, 0x7FFFFFFF, 0x80000000, 0xFFFFFFF8, 0xFFFFFFFF};
    for (int k = 0; k < 150; ++k) {
        Bytes changed = valid;
        int changes = 1 + static_cast<int>(random() % 6);
        for (int c = 0; c < changes; ++c) {
            size_t at = random() % changed.size();
            if (random() % 2 && at + 4 <= changed.size()) {
                uint32_t value = hostile[random() % (sizeof hostile / sizeof hostile[0])];
                for (int b = 0; b < 4; ++b)
                    changed[at + b] = static_cast<uint8_t>(value >> (8 * b));
            } else {
                changed[at] = static_cast<uint8_t>(random());
            }
        }
        inputs.push_back(changed);
    }
    return inputs;
}

// Opens the bytes as a file and stands the stream somewhere in it.
void OpenAt(gCFile& file, const gCString& path, const Bytes& bytes, std::mt19937& random)
{
    ASSERT_TRUE(WriteWholeFile(path, bytes));
    ASSERT_OK(file.OpenFullPath(path, kAccessRead));
    ASSERT_OK(file.SetPosition(bytes.empty() ? 0 : random() % (bytes.size() + 1)));
}

} // namespace

TEST(Fuzz, DamagedStringTablesAndResourceFilesEndWithAResultCode)
{
    std::mt19937 random(20240601);
    TempFolder folder;
    const gCString path = folder.File(L"fuzz.bin");
    BoxCapture boxes;
    for (const Bytes& input : DamagedInputs(ValidStringTable(), random)) {
        gCFile file;
        OpenAt(file, path, input, random);
        gCStringTable table(1);
        ASSERT_TRUE(IsResultCode(table.Load(file)));
        ASSERT_EQ(table.GetNameCount(), table.GetCount());
        for (int32_t i = 0; i < table.GetCount(); ++i)
            table.GetTextByID(table.GetIDAt(i), static_cast<int32_t>(random() % 4));
    }
    for (const Bytes& input : DamagedInputs(ValidResourceFile(), random)) {
        gCFile file;
        OpenAt(file, path, input, random);
        CResourceDirectory directory;
        ASSERT_TRUE(IsResultCode(directory.Read(file)));
        for (CResourceDirectory* used : {static_cast<CResourceDirectory*>(nullptr), &directory}) {
            for (uint32_t id = 1; id <= 3; ++id) {
                ASSERT_OK(file.SetPosition(random() % (input.size() + 1)));
                CText text;
                ASSERT_TRUE(IsResultCode(text.LoadByID(id, &file, used)));
            }
            CText byName;
            ASSERT_TRUE(IsResultCode(byName.LoadByName(gCString(L"Title"), &file, used)));
        }
    }
}
