#include <gtest/gtest.h>

#include "ResultAssert.h"

#include <iterator>
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

// Every cut of the valid file, then random byte changes with hostile sizes and counts written
// over the fields.
std::vector<Bytes> DamagedInputs(CFormatWriter& writer, std::mt19937& random)
{
    const Bytes valid(writer.GetData(), writer.GetData() + writer.GetSize());
    std::vector<Bytes> inputs;
    for (size_t cut = 0; cut <= valid.size(); ++cut)
        inputs.emplace_back(valid.begin(), valid.begin() + cut);
    const uint32_t hostile[] = {0, 1, 3, 0x7FFFFFFF, 0x80000000, 0xFFFFFFF8, 0xFFFFFFFF};
    for (int k = 0; k < 150; ++k) {
        Bytes changed = valid;
        for (int c = 1 + static_cast<int>(random() % 6); c > 0; --c) {
            const size_t at = random() % changed.size();
            const bool wide = random() % 2 && at + 4 <= changed.size();
            const uint32_t value = wide ? hostile[random() % std::size(hostile)] : random();
            for (size_t b = 0; b < (wide ? 4u : 1u); ++b)
                changed[at + b] = static_cast<uint8_t>(value >> (8 * b));
        }
        inputs.push_back(changed);
    }
    return inputs;
}

} // namespace

TEST(Fuzz, DamagedStringTablesAndResourceFilesEndWithAResultCode)
{
    CStringTableWriter table;
    ASSERT_OK(table.AddRecord(1, gCString(L"QV2_Version"), gCString(L"2.1")));
    ASSERT_OK(table.AddRecord(3000000000u, gCString(L"Local_Current"), gCString(L"English|Deutsch")));
    ASSERT_OK(table.AddRecord(7, gCString(L""), gCString(L"a||b")));
    CResourceFileWriter resources;
    gCMemFile body;
    ASSERT_OK(resources.AddVersion(2));
    ASSERT_OK(CResourceFileWriter::WriteTextBody(body, gCString(L"hello")));
    ASSERT_OK(resources.AddResource('text', 1, gCString(L"Title"), body));
    ASSERT_OK(resources.AddResource('wdgt', 3, gCString(L"Other"), body));
    std::mt19937 random(20240601);
    TempFolder folder;
    const gCString path = folder.File(L"fuzz.bin");
    BoxCapture boxes;
    for (CFormatWriter* valid : {static_cast<CFormatWriter*>(&table), static_cast<CFormatWriter*>(&resources)}) {
        for (const Bytes& input : DamagedInputs(*valid, random)) {
            ASSERT_TRUE(WriteWholeFile(path, input));
            gCFile file;
            ASSERT_OK(file.OpenFullPath(path, kAccessRead));
            // Each read starts anywhere in the file.
            const auto standAnywhere = [&] { return file.SetPosition(random() % (input.size() + 1)); };
            ASSERT_OK(standAnywhere());
            if (valid == &table) {
                gCStringTable read(1);
                ASSERT_TRUE(IsResultCode(read.Load(file)));
                ASSERT_EQ(read.GetNameCount(), read.GetCount());
                for (int32_t i = 0; i < read.GetCount(); ++i)
                    read.GetTextByID(read.GetIDAt(i), static_cast<int32_t>(random() % 4));
                continue;
            }
            CResourceDirectory directory;
            ASSERT_TRUE(IsResultCode(directory.Read(file)));
            for (CResourceDirectory* used : {static_cast<CResourceDirectory*>(nullptr), &directory}) {
                for (uint32_t id = 1; id <= 3; ++id) {
                    ASSERT_OK(standAnywhere());
                    CText text;
                    ASSERT_TRUE(IsResultCode(text.LoadByID(id, &file, used)));
                }
                CText byName;
                ASSERT_TRUE(IsResultCode(byName.LoadByName(gCString(L"Title"), &file, used)));
            }
        }
    }
}
