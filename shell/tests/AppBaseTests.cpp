// The application object without a window: start-up from the resource files, pools, the
// window list, deferred deletions, the notification path and the entry point.
#include <gtest/gtest.h>

#include "ResultAssert.h"

#include <string>
#include <vector>

#include "BoxCapture.h"
#include "CApp.h"
#include "CResourceFileWriter.h"
#include "CStringTableWriter.h"
#include "CText.h"
#include "Programs.h"
#include "ReportError.h"
#include "TempFolder.h"
#include "TestApp.h"

namespace {
class NamedResource : public CText {
public:
    NamedResource(uint32_t id, const wchar_t* name)
    {
        m_id = id;
        EXPECT_OK(m_name.SetText(name));
    }
};

class Listener : public gCCmdTarget {
public:
    uint32_t OnNotify(uint32_t id, uint32_t, uint32_t b) override { return id == 2 ? b : 0; }
};

class Tracked : public CDeferredObject {
public:
    Tracked(std::vector<std::string>& log, const char* name) : m_log(log), m_name(name) {}
    ~Tracked() override { m_log.push_back(std::string("delete ") + m_name); }
    void Update() override
    {
        m_log.push_back(std::string("update ") + m_name);
        if (dieOnUpdate)
            SetDead();
    }
    bool dieOnUpdate = false;

private:
    std::vector<std::string>& m_log;
    const char* m_name;
};

void WriteResources(const TempFolder& folder, bool withTable)
{
    CreateDirectoryW((folder.Path() + L"Resources").c_str(), nullptr);
    CResourceFileWriter file;
    ASSERT_OK(file.AddVersion(2));
    gCMemFile body;
    ASSERT_OK(CResourceFileWriter::WriteTextBody(body, gCString(L"hello")));
    ASSERT_OK(file.AddResource('text', 500, gCString(L"Greeting"), body));
    ASSERT_OK(file.SaveAs(folder.File(L"Resources\\system.vrf")));
    if (withTable) {
        CStringTableWriter table;
        ASSERT_OK(table.AddRecord(7, gCString(L""), gCString(L"Seven")));
        ASSERT_OK(table.SaveAs(folder.File(L"Resources\\system.vsf")));
    }
}
} // namespace

TEST(AppInit, OpensTheResourceFileItsDirectoryAndTheStringTable)
{
    TempFolder folder;
    WriteResources(folder, true);
    TestApp app;
    app.SetProgramFolder(folder.Path());
    EXPECT_OK(app.Init());
    ASSERT_NE(app.GetResourceStream(), nullptr);
    ASSERT_NE(app.GetResourceDirectory(), nullptr);
    EXPECT_EQ(app.GetResourceDirectory()->GetCount(), 1);
    EXPECT_EQ(app.GetResourceDirectory()->GetVersion(), 2u);
    EXPECT_EQ(std::wstring(app.GetStringTable().GetTextByID(7, 0).Text()), L"Seven");
    // Fonts come from the same file unless the program names another.
    EXPECT_TRUE(app.GetFontResourceFileName().Equals(L"system.vrf"));
    EXPECT_TRUE(app.GetFontResourceFile().IsOpen());
    EXPECT_EQ(app.GetFontResourceDirectory().GetCount(), 1);
}

TEST(AppInit, MissingFilesAreNoFailure)
{
    TempFolder folder;
    {
        TestApp app;
        app.SetProgramFolder(folder.Path());
        EXPECT_OK(app.Init());
        EXPECT_EQ(app.GetResourceStream(), nullptr);
        EXPECT_EQ(app.GetStringTable().GetCount(), 0);
    }
    WriteResources(folder, false);
    TestApp app;
    app.SetProgramFolder(folder.Path());
    app.SetFontResourceFileName(gCString(L"fonts.vrf"));
    EXPECT_OK(app.Init());
    EXPECT_NE(app.GetResourceStream(), nullptr);
    EXPECT_EQ(app.GetStringTable().GetCount(), 0);
    EXPECT_FALSE(app.GetFontResourceFile().IsOpen());
}

TEST(AppInit, DamagedResourceFileFailsTheRun)
{
    TempFolder folder;
    CreateDirectoryW((folder.Path() + L"Resources").c_str(), nullptr);
    CResourceFileWriter file;
    ASSERT_OK(file.AddChunk('text', 4000, "abc", 3));
    ASSERT_OK(file.SaveAs(folder.File(L"Resources\\system.vrf")));

    BoxCapture boxes;
    TestApp app;
    app.SetProgramFolder(folder.Path());
    gCResult result = app.Run(GetModuleHandleW(nullptr), nullptr, "", SW_SHOW);
    EXPECT_NE(result, 0);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    gCString expected;
    EXPECT_OK(expected.SetAnsi(GetResultText(result)));
    EXPECT_EQ(boxes.Boxes()[0].text, expected.Text());
    EXPECT_FALSE(app.IsHeartbeatAlive());
    EXPECT_EQ(app.IsRunning(), 0);
}

TEST(AppObject, RegistersAsTheHostWhileItLives)
{
    EXPECT_EQ(GetApp(), nullptr);
    {
        TempFolder folder;
        TestApp app;
        app.SetProgramFolder(folder.Path());
        EXPECT_EQ(GetApp(), &app);
        EXPECT_EQ(GetAppHost(), &app);
        EXPECT_EQ(app.GetAppCode(), 0x3F3F3F3Fu);
        EXPECT_FALSE(app.IsHeartbeatWorkEnabled());
        EXPECT_TRUE(app.GetProgramFolder().Equals(folder.Path().c_str()));
    }
    EXPECT_EQ(GetApp(), nullptr);
    EXPECT_EQ(GetAppHost(), nullptr);
    EXPECT_EQ(GetMainWindow(), nullptr);
}

TEST(AppObject, ProgramFolderIsTheModulesFolder)
{
    CApp app;
    const std::wstring expected = ProgramFolder();
    EXPECT_EQ(std::wstring(app.GetProgramFolder().Text()), expected);
    EXPECT_EQ(std::wstring(app.GetSecondFolder().Text()), expected);
    EXPECT_TRUE(app.GetResourceFolderName().Equals(L"Resources"));
    EXPECT_TRUE(app.GetResourceFileName().Equals(L"system.vrf"));
    EXPECT_TRUE(app.GetStringTableFileName().Equals(L"system.vsf"));
}

TEST(AppObject, PoolSearchLeavesFontsToNamedSearches)
{
    CApp app;
    ASSERT_OK(app.AddResource(5, new NamedResource(1, L"Font")));
    ASSERT_OK(app.AddResource(3, new NamedResource(2, L"Shared")));
    ASSERT_OK(app.AddResource(1, new NamedResource(3, L"Shared")));
    EXPECT_RESULT(app.AddResource(6, nullptr), kBadParameter);

    EXPECT_EQ(app.FindPooledResource(-1, gCString(L"Font")), nullptr);
    EXPECT_EQ(app.FindPooledResourceByID(-1, 1), nullptr);
    ASSERT_NE(app.FindPooledResource(5, gCString(L"Font")), nullptr);
    EXPECT_EQ(app.FindPooledResourceByID(5, 1)->GetID(), 1u);
    // The lowest pool wins.
    EXPECT_EQ(app.FindPooledResource(-1, gCString(L"Shared"))->GetID(), 3u);
    EXPECT_EQ(app.FindPooledResourceByID(-1, 2)->GetID(), 2u);
    EXPECT_EQ(app.FindPooledResource(2, gCString(L"Shared")), nullptr);
}

TEST(AppObject, WindowListRemovesEveryEntryOfAWindow)
{
    CApp app;
    CWindowBase* a = reinterpret_cast<CWindowBase*>(0x1000);
    CWindowBase* b = reinterpret_cast<CWindowBase*>(0x2000);
    for (CWindowBase* w : {a, b, a, b, a})
        ASSERT_OK(app.UpdateWindowList(w, 1));
    EXPECT_OK(app.UpdateWindowList(a, 0));
    ASSERT_EQ(app.GetWindowList().Count(), 2);
    EXPECT_EQ(app.GetWindowList()[0], b);
    EXPECT_EQ(app.GetWindowList()[1], b);
    EXPECT_OK(app.UpdateWindowList(b, 0));
    EXPECT_EQ(app.GetWindowList().Count(), 0);
}

TEST(AppObject, PurgeUpdatesAllThenDeletesTheDead)
{
    std::vector<std::string> log;
    {
        CApp app;
        Tracked* first = new Tracked(log, "a");
        Tracked* second = new Tracked(log, "b");
        Tracked* third = new Tracked(log, "c");
        first->dieOnUpdate = true;
        third->dieOnUpdate = true;
        ASSERT_OK(app.AddDeferred(0, first));
        ASSERT_OK(app.AddDeferred(0, second));
        ASSERT_OK(app.AddDeferred(1, third));
        EXPECT_RESULT(app.AddDeferred(2, second), kBadParameter);
        app.PurgeDeadObjects();
        EXPECT_EQ(log, (std::vector<std::string>{"update a", "update b", "update c", "delete a", "delete c"}));
        log.clear();
    }
    // The application deletes what is left.
    EXPECT_EQ(log, std::vector<std::string>{"delete b"});
}

TEST(AppObject, PlainObjectAnswersNoNotificationAndFindsNoTablet)
{
    CApp plain;
    EXPECT_EQ(plain.SendAppMessage(1, 2, 3), 0u);
    EXPECT_OK(plain.CreateTablet());
    EXPECT_NE(plain.GetTablet(), nullptr);
}

TEST(AppObject, NotificationPathOrder)
{
    TempFolder folder;
    TestApp app;
    app.SetProgramFolder(folder.Path());
    app.onNotify = [](uint32_t id, uint32_t a, uint32_t) -> uint32_t { return id == 1 ? a : 0; };
    Listener listener;
    ASSERT_OK(app.AddHubListener(&listener));
    EXPECT_EQ(app.SendAppMessage(1, 11, 12), 11u);
    EXPECT_EQ(app.SendAppMessage(2, 21, 22), 22u);
    EXPECT_EQ(app.SendAppMessage(3, 31, 32), 0u);
    EXPECT_EQ(app.notified, (std::vector<uint32_t>{1, 2, 3}));
    app.RemoveHubListener(&listener);
    EXPECT_EQ(app.SendAppMessage(2, 21, 22), 0u);
}

TEST(AppEntry, WithoutAnApplicationObjectReturnsMinusOne)
{
    EXPECT_EQ(RunApplication(GetModuleHandleW(nullptr), nullptr, "", SW_SHOW), -1);
}
