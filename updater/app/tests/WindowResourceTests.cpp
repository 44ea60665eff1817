// The real QVUpdater.exe builds its window from Resources\QVUpdater.vrf: the window's name
// (its title), its size and the font its text is drawn with. A file that vrfbuild writes with
// a serif face stands in for the program's own, so that no font of the system could pass for it.
#include <gtest/gtest.h>

#include "ResultAssert.h"

#include "CQuorvelUpdaterBackdrop.h"
#include "CResourceDirectory.h"
#include "CResourceFileWriter.h"
#include "EndToEnd.h"
#include "FontEngine.h"
#include "Programs.h"
#include "ResourceTags.h"
#include "UpdaterHost.h"
#include "gCFile.h"
#include "gCMemFile.h"

namespace {
const int kRunMs = 30000;
const wchar_t kTestModeWarning[] = L"WARNING - IN LOCAL TEST MODE! NOT FOR GENERAL USE!";

// The font engine as the program starts it, for as long as the test draws.
class FontEngineOn {
public:
    FontEngineOn()
    {
        EXPECT_OK(InitFontEngine());
        BuildGammaTables(1.0f);
    }
    ~FontEngineOn() { DoneFontEngine(); }
};

// The first status row as the window draws it with the name, size and font of the resource
// file; the window's other parts are the same whatever the file says.
class ExpectedRow {
public:
    explicit ExpectedRow(const std::wstring& resourceFile)
    {
        EXPECT_OK(m_file.OpenFullPath(gCString(resourceFile.c_str()), kAccessRead));
        EXPECT_OK(m_directory.Read(m_file));
        m_window.LoadResources(&m_file, &m_directory, &m_file, &m_directory);
        EXPECT_TRUE(m_window.HasResourceFont());
        EXPECT_OK(m_window.PostStatusLine(gCString(kTestModeWarning), kLineRed, 0));
    }

    // Pixels of the first row that differ from the picture's (0xRRGGBB compared).
    int32_t Differences(CImageBase& picture)
    {
        const gCRect row = m_window.RowRect(0);
        int32_t differ = 0;
        for (int32_t y = row.top; y < row.bottom; ++y)
            for (int32_t x = row.left; x < row.right; ++x)
                differ += ((picture.GetPixel(x, y) ^ m_window.GetBackBuffer().GetPixel(x, y)) & 0xFFFFFF) != 0;
        return differ;
    }
    CQuorvelUpdaterBackdrop& Window() { return m_window; }

private:
    gCFile m_file;
    CResourceDirectory m_directory;
    CQuorvelUpdaterBackdrop m_window{nullptr, nullptr};
};

// The client area of another program's window, as the screen shows it.
bool Capture(HWND window, CImageBase& picture)
{
    RECT client;
    POINT origin = {0, 0};
    if (!GetClientRect(window, &client) || !ClientToScreen(window, &origin) ||
        picture.Create(client.right, client.bottom) != kOk)
        return false;
    CWindowDC screen(nullptr);
    const BOOL copied =
        BitBlt(picture.GetMemDC(), 0, 0, client.right, client.bottom, screen.Get(), origin.x, origin.y, SRCCOPY);
    picture.ReleaseMemDC();
    return copied != 0;
}
} // namespace

TEST(UpdaterWindow, NameSizeAndFontComeFromTheResourceFileAndWithoutThemTheLogSaysSo)
{
    FontEngineOn engine;
    UpdateServer server;
    ASSERT_TRUE(server.Start(L"--mode uptodate")) << server.Error();
    TempFolder source;
    ASSERT_TRUE(CopyFileW((ProgramFolder() + L"LiberationSerif-Regular.ttf").c_str(),
                          source.File(L"LiberationSerif-Regular.ttf").Text(), FALSE));
    const struct {
        std::string source;
        const wchar_t* title;
        gCPoint size;
        std::string notes;
    } runs[] = {
        {"widget 100 \"Serif Updater\" 600 220\nfont 200 Serif LiberationSerif-Regular.ttf\n",
         L"Serif Updater",
         {600, 220},
         ""},
        {"tone 90000 Only 10 440\n",
         L"Quorvel Updater",
         {640, 240},
         "The window could not be loaded from QVUpdater.vrf: its built-in name and size are used.\r\nThe font could "
         "not be loaded from QVUpdater.vrf"},
    };
    for (const auto& run : runs) {
        SCOPED_TRACE(run.title);
        Installation install;
        const std::wstring resources = install.Path(L"Resources\\QVUpdater.vrf");
        ASSERT_EQ(CompileDataFile(L"vrfbuild.exe", source.Path(), "version 1\n" + run.source, resources), 0u);
        install.PointAt(server.Host());
        ASSERT_TRUE(install.Start());
        HWND window = nullptr;
        ASSERT_TRUE(Eventually([&] { return (window = FindWindowW(nullptr, run.title)) != nullptr; }, kRunMs));
        RECT client = {};
        EXPECT_TRUE(GetClientRect(window, &client));
        EXPECT_EQ((gCPoint{client.right, client.bottom}), run.size);
        ASSERT_TRUE(Eventually([&] { return install.Log().find("up to date") != std::string::npos; }, kRunMs));
        EXPECT_EQ(install.Log().rfind(run.notes, 0), 0u) << install.Log();
        if (run.notes.empty()) {
            // The serif row on screen, and it is not the row that the program's own font draws.
            ExpectedRow serif(resources), own(ProgramFolder() + L"Resources\\QVUpdater.vrf");
            CImageBase picture;
            EXPECT_TRUE(Eventually([&] { return Capture(window, picture) && serif.Differences(picture) == 0; }))
                << serif.Differences(picture) << " pixels differ";
            EXPECT_GT(own.Differences(serif.Window().GetBackBuffer()), 100);
        }
        PostMessageW(window, WM_CLOSE, 0, 0);
        EXPECT_EQ(install.WaitForExit(kRunMs), 0u) << install.Log();
    }
}

// Each damaged body shows one box before the window opens. In test mode the boxes are lines of
// the log from the very start, and the start goes on with the built-in window (its name too:
// the damaged chunk names it "Damaged") and a fallback font to the answer and a clean end.
TEST(UpdaterWindow, DamagedWidgetAndFontBodiesAreLoggedBoxesAndTheRunGoesOnToItsEnd)
{
    UpdateServer server;
    ASSERT_TRUE(server.Start(L"--mode uptodate")) << server.Error();
    Installation install;
    CResourceFileWriter writer;
    gCMemFile widget, font;
    const Bytes widgetBody = Concat({U32(17), U32(kTagWidgetSize), U32(8), U32(600), U32(220)});
    const Bytes fontBody = Concat({U32(16), Ansi("not a font file!")});
    ASSERT_OK(widget.WriteBytes(widgetBody.data(), static_cast<uint32_t>(widgetBody.size())));
    ASSERT_OK(font.WriteBytes(fontBody.data(), static_cast<uint32_t>(fontBody.size())));
    ASSERT_OK(writer.AddVersion(1));
    ASSERT_OK(writer.AddResource(kTagWidget, CQuorvelUpdaterBackdrop::kResourceId, gCString(L"Damaged"), widget));
    ASSERT_OK(writer.AddResource(kTagFont, CQuorvelUpdaterBackdrop::kFontId, gCString(L"Damaged"), font));
    ASSERT_OK(writer.SaveAs(gCString(install.Path(L"Resources\\QVUpdater.vrf").c_str())));
    install.PointAt(server.Host());

    ASSERT_TRUE(install.Start());
    EXPECT_TRUE(CloseOnLine(install, "Your product is up to date.", kRunMs)) << install.Log();
    EXPECT_EQ(install.WaitForExit(kRunMs), 0u) << install.Log();
    const std::string box = "[box] Error.: An error occurred reading data from a binary resource file.\n";
    const std::string log = install.Log();
    EXPECT_EQ(log.rfind(box +
                            "Error reading widget data block size.\r\nThe window could not be loaded from "
                            "QVUpdater.vrf: its built-in name and size are used.\r\n" +
                            box +
                            "Font data refused by the font engine.\r\nThe font could not be loaded from "
                            "QVUpdater.vrf",
                        0),
              0u)
        << log;
    EXPECT_NE(log.find(kUntilReply + "Your product is up to date.\r\n"), std::string::npos) << log;
}
