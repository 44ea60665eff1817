// The two compilers as the build runs them, and the faults of their sources.
#include <gtest/gtest.h>

#include "ResultAssert.h"

#include <string>

#include "CResourceDirectory.h"
#include "CVrfSource.h"
#include "CVsfSource.h"
#include "Programs.h"
#include "TempFolder.h"
#include "gCFile.h"
#include "gCStringTable.h"

namespace {

// Runs the program on the source; what it writes is the folder's "out".
DWORD Compile(const TempFolder& folder, const wchar_t* program, const std::string& source)
{
    return CompileDataFile(program, folder.Path(), source, folder.Path() + L"out");
}

std::string Repeated(const std::string& text, int times)
{
    std::string out;
    for (int i = 0; i < times; ++i)
        out += text;
    return out;
}

} // namespace

// vsfbuild: a byte-order mark, CRLF, comments, @base, '|' variants, a tab inside the text and
// key-less entries that repeat the empty name. vrfbuild: the version and the sounds.
TEST(DataFiles, BothProgramsWriteWhatTheirSourcesSay)
{
    TempFolder folder;
    ASSERT_EQ(Compile(folder, L"vsfbuild.exe",
                      "\xEF\xBB\xBF# product facts\r\n1\tQV2_Version\t2.1\r\n\n2\t\tEnglish|Deutsch|Fran\xC3\xA7"
                      "ais\n@base 3000000000\n74\tRunning\tPlease close Quorvel 2 first.\n75\t\ttab\tinside"),
              0u);
    gCFile file;
    ASSERT_OK(file.OpenFullPath(folder.File(L"out"), kAccessRead));
    gCStringTable table(1);
    ASSERT_OK(table.Load(file));
    ASSERT_EQ(table.GetCount(), 4);
    EXPECT_STREQ(table.GetTextByName(gCString(L"QV2_Version")).Text(), L"2.1");
    EXPECT_STREQ(table.GetTextByID(2, 2).Text(), L"Fran\u00E7ais");
    EXPECT_STREQ(table.GetTextByID(3000000074u, 0).Text(), L"Please close Quorvel 2 first.");
    EXPECT_STREQ(table.GetTextByID(3000000075u, 0).Text(), L"tab\tinside");

    ASSERT_OK(file.Close());
    ASSERT_EQ(Compile(folder, L"vrfbuild.exe",
                      "# sounds\nversion 3\ntone 90000 First 100 440 880\r\n\ntone 90001 Second 50 220 # low\n"),
              0u);
    ASSERT_OK(file.OpenFullPath(folder.File(L"out"), kAccessRead));
    CResourceDirectory directory;
    ASSERT_OK(directory.Read(file));
    EXPECT_EQ(directory.GetVersion(), 3u);
    EXPECT_EQ(directory.GetCount(), 2);
    // Two tones of 100 ms at 22050 frames a second, 16-bit mono, after a 44-byte header.
    const std::vector<uint8_t> wave = MakeToneWave({440, 880}, 100);
    ASSERT_EQ(wave.size(), 44u + 2u * 2205u * 2u);
    EXPECT_EQ(std::string(wave.begin(), wave.begin() + 16), std::string("RIFF\x98\x22\0\0WAVEfmt ", 16));
}

TEST(DataFiles, SourceFaultsNameTheirLineAndFailTheProgram)
{
    const std::wstring badId = L"the id (with the @base added) must be a number up to 4294967295";
    const std::wstring badTone = L"tone <id> <name> <ms> <hz> [<hz> ...], with 1 to 5000 ms";
    const std::wstring badHz = L"a frequency is a whole number of 1 to 11025 Hz";
    const struct {
        bool vrf;
        std::string source;
        int line;
        std::wstring error;
    } cases[] = {
        {false, "1\tA\ta\n2 B b\n", 2, L"an entry is <id>, a tab, <name>, a tab, <text>"},
        {false, "4294967296\tA\ta\n", 1, badId},
        {false, "@base 4294967295\n1\tA\ta\n", 2, badId},
        {false, "@base -1\n", 1, L"@base needs a number up to 4294967295"},
        {false, "1\tA\ta\n#\n1\tB\tb\n", 3, L"this id was given before"},
        {false, "1\tA\ta\n2\tA\tb\n", 2, L"this name was given before"},
        {false, "1\tA\t\xC3\n", 1, L"not UTF-8 text"},
        {false, std::string("1\tA\ta\0b\n", 8), 1, L"a 0 character or a carriage return inside the line"},
        {true, "version", 1, L"version needs one number"},
        {true, "version 1\nsound 1 a 2 3", 2, L"a line is version, tone, image, imagelist, font, gradient or widget"},
        {true, "tone 1 a 100", 1, badTone},
        {true, "tone 1 a 0 440", 1, badTone},
        {true, "tone 99999999999 a 10 440", 1, badTone},
        {true, "tone 1 a 10 44x", 1, badHz},
        {true, "tone 1 a 10 11026", 1, badHz},
        {true, "tone 1 a 10 440\n#\ntone 1 b 10 440", 3, L"the id is given twice"},
        {true, "widget 1 \"Quorvel Updater 640 240", 1, L"a quote is not closed"},
        {true, "image 1 a 0 1 FF000000", 1, L"an image is 1 to 16384 pixels wide and high, 16777216 pixels at most"},
        {true, "image 1 a 4096 4097 FF000000", 1,
         L"an image is 1 to 16384 pixels wide and high, 16777216 pixels at most"},
        {true, "image 1 a 1 1 FF0000001", 1, L"a colour is up to 8 hex digits, 0xAARRGGBB"},
        {true, "image 1 a 1 1 FF\nimagelist 2 b 1 3", 2, L"an image list names images given before it"},
        {true, "image 1 a 1 1 FF\nimagelist 2 b" + Repeated(" 1", 4097), 2,
         L"imagelist <id> <name> [<image id> ...], 4096 images at most"},
        {true, "font 1 a missing.ttf", 1, L"the font file cannot be read"},
        {true, "gradient 1 a 0.5 FF 0.25 FF", 1, L"a position is a number from 0 to 1, not below the one before"},
        {true, "gradient 1 a 1.5 FF", 1, L"a position is a number from 0 to 1, not below the one before"},
        {true, "gradient 1 a 0 FF 1", 1,
         L"gradient <id> <name> <position> <colour> [<position> <colour> ...], 256 stops at most"},
        {true, "widget 1 a 640 16385", 1, L"widget <id> <name> <width> <height>, each 0 to 16384"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source);
        const int32_t size = static_cast<int32_t>(c.source.size());
        CVsfSource vsf;
        CStringTableWriter table;
        CVrfSource vrf;
        CResourceFileWriter resources;
        EXPECT_RESULT(c.vrf ? vrf.Parse(c.source.data(), size, resources) : vsf.Parse(c.source.data(), size, table),
                      kTextResourceFailure);
        EXPECT_EQ(std::wstring((c.vrf ? vrf.GetError() : vsf.GetError()).Text()),
                  L"line " + std::to_wstring(c.line) + L": " + c.error);
    }
    TempFolder folder;
    EXPECT_EQ(Compile(folder, L"vsfbuild.exe", "seven\tName\tseven\n"), 1u);
    EXPECT_EQ(Compile(folder, L"vrfbuild.exe", "version\n"), 1u);
}
