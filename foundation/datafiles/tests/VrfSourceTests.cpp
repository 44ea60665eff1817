#include <gtest/gtest.h>

#include "ResultAssert.h"

#include "CResourceDirectory.h"
#include "CVrfSource.h"
#include "TempFolder.h"
#include "gCFile.h"

TEST(VrfSource, SoundsAndVersionRoundTripThroughTheResourceDirectory)
{
    const char source[] = "# sounds\nversion 3\ntone 90000 First 100 440 880\r\n\ntone 90001 Second 50 220 # low\n";
    CResourceFileWriter writer;
    CVrfSource parser;
    ASSERT_OK(parser.Parse(source, static_cast<int32_t>(sizeof source - 1), writer));
    TempFolder folder;
    ASSERT_OK(writer.SaveAs(folder.File(L"t.vrf")));

    gCFile file;
    ASSERT_OK(file.OpenFullPath(folder.File(L"t.vrf"), kAccessRead));
    CResourceDirectory directory;
    ASSERT_OK(directory.Read(file));
    EXPECT_EQ(directory.GetVersion(), 3u);
    ASSERT_EQ(directory.GetCount(), 2);

    // Two tones of 100 ms at 22050 frames a second, 16-bit mono, after a 44-byte header.
    const std::vector<uint8_t> wave = MakeToneWave({440, 880}, 100);
    ASSERT_EQ(wave.size(), 44u + 2u * 2205u * 2u);
    EXPECT_EQ(std::string(wave.begin(), wave.begin() + 4), "RIFF");
    EXPECT_EQ(std::string(wave.begin() + 8, wave.begin() + 16), "WAVEfmt ");
    // Faded in: the first sample is silence.
    EXPECT_EQ(wave[44], 0);
    EXPECT_EQ(wave[45], 0);
}

TEST(VrfSource, FaultsNameTheirLine)
{
    const struct {
        const char* source;
        const wchar_t* error;
    } cases[] = {
        {"version", L"line 1: version needs one number"},
        {"version 1\nsound 1 a 2 3", L"line 2: a line is 'version' or 'tone'"},
        {"tone 1 a 100", L"line 1: tone <id> <name> <ms> <hz> [<hz> ...], with 1 to 5000 ms"},
        {"tone 1 a 0 440", L"line 1: tone <id> <name> <ms> <hz> [<hz> ...], with 1 to 5000 ms"},
        {"tone 1 a 10 44x", L"line 1: a frequency is a whole number of 1 to 11025 Hz"},
        {"tone 1 a 10 20000", L"line 1: a frequency is a whole number of 1 to 11025 Hz"},
        {"tone 1 a 10 440\n#\ntone 1 b 10 440", L"line 3: the id is given twice"},
        {"tone 99999999999 a 10 440", L"line 1: tone <id> <name> <ms> <hz> [<hz> ...], with 1 to 5000 ms"},
    };
    for (const auto& c : cases) {
        CResourceFileWriter writer;
        CVrfSource parser;
        EXPECT_RESULT(parser.Parse(c.source, static_cast<int32_t>(strlen(c.source)), writer), kTextResourceFailure)
            << c.source;
        EXPECT_STREQ(parser.GetError().Text(), c.error) << c.source;
    }
}
