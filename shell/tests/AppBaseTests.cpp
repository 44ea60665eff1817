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
#include "Programs.h"
#include "TempFolder.h"
#include "TestApp.h"

namespace {
class Tracked : public CDeferredObject {
public:
    Tracked(std::vector<std::string>& log, const char* name, bool dies) : m_log(log), m_name(name), m_dies(dies) {}
    ~Tracked() override { m_log.push_back(std::string("delete ") + m_name); }
    void Update() override
    {
        m_log.push_back(std::string("update ") + m_name);
        if (m_dies)
            SetDead();
    }

private:
    std::vector<std::string>& m_log;
    const char* m_name;
    bool m_dies;
};
} // namespace

TEST(AppInit, OpensTheResourceFileAndStringTableAndMissingOnesAreNoFailure)
{
    TempFolder folder;
    {
        TestApp empty;
        empty.SetProgramFolder(folder.Path());
        EXPECT_OK(empty.Init());
        EXPECT_EQ(empty.GetResourceStream(), nullptr);
    }

    CreateDirectoryW((folder.Path() + L"Resources").c_str(), nullptr);
    CResourceFileWriter file;
    ASSERT_OK(file.AddVersion(2));
    ASSERT_OK(file.SaveAs(folder.File(L"Resources\\system.vrf")));
    CStringTableWriter table;
    ASSERT_OK(table.AddRecord(7, gCString(L""), gCString(L"Seven")));
    ASSERT_OK(table.SaveAs(folder.File(L"Resources\\system.vsf")));
    TestApp app;
    app.SetProgramFolder(folder.Path());
    EXPECT_OK(app.Init());
    ASSERT_NE(app.GetResourceDirectory(), nullptr);
    EXPECT_EQ(app.GetResourceDirectory()->GetVersion(), 2u);
    EXPECT_EQ(W(app.GetStringTable().GetTextByID(7, 0)), L"Seven");
    // Fonts come from the same file unless the program names another.
    EXPECT_TRUE(app.GetFontResourceFile().IsOpen());
}

TEST(AppInit, DamagedResourceFileFailsTheRunWithOneBoxAndStopsTheHeartbeat)
{
    TempFolder folder;
    CreateDirectoryW((folder.Path() + L"Resources").c_str(), nullptr);
    CResourceFileWriter file;
    ASSERT_OK(file.AddChunk('text', 4000, "abc", 3));
    ASSERT_OK(file.SaveAs(folder.File(L"Resources\\system.vrf")));

    BoxCapture boxes;
    TestApp app;
    app.SetProgramFolder(folder.Path());
    EXPECT_NE(app.Run(GetModuleHandleW(nullptr), nullptr, "", SW_SHOW), 0);
    EXPECT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_FALSE(app.IsHeartbeatAlive());
}

TEST(AppObject, RegistersAsTheHostWhileItLivesInTheModulesFolder)
{
    {
        CApp app;
        EXPECT_EQ(GetAppHost(), &app);
        EXPECT_EQ(W(app.GetProgramFolder()), ProgramFolder());
    }
    EXPECT_EQ(GetApp(), nullptr);
    EXPECT_EQ(GetAppHost(), nullptr);
    EXPECT_EQ(RunApplication(GetModuleHandleW(nullptr), nullptr, "", SW_SHOW), -1);
}

TEST(AppObject, PurgeUpdatesAllThenDeletesTheDeadAndTheEndDeletesTheRest)
{
    std::vector<std::string> log;
    {
        CApp app;
        ASSERT_OK(app.AddDeferred(0, new Tracked(log, "a", true)));
        Tracked* kept = new Tracked(log, "b", false);
        ASSERT_OK(app.AddDeferred(0, kept));
        ASSERT_OK(app.AddDeferred(1, new Tracked(log, "c", true)));
        EXPECT_RESULT(app.AddDeferred(2, kept), kBadParameter);
        app.PurgeDeadObjects();
        EXPECT_EQ(log, (std::vector<std::string>{"update a", "update b", "update c", "delete a", "delete c"}));
        log.clear();
    }
    EXPECT_EQ(log, std::vector<std::string>{"delete b"});
}

TEST(AppObject, NotificationsReachTheApplicationThenTheHub)
{
    class Listener : public gCCmdTarget {
    public:
        uint32_t OnNotify(uint32_t id, uint32_t, uint32_t b) override { return id == 2 ? b : 0; }
    } listener;
    EXPECT_EQ(CApp().SendAppMessage(1, 2, 3), 0u);
    TestApp app;
    app.onNotify = [](uint32_t id, uint32_t a, uint32_t) -> uint32_t { return id == 1 ? a : 0; };
    ASSERT_OK(app.AddHubListener(&listener));
    EXPECT_EQ(app.SendAppMessage(1, 11, 12), 11u);
    EXPECT_EQ(app.SendAppMessage(2, 21, 22), 22u);
    EXPECT_EQ(app.notified, (std::vector<uint32_t>{1, 2}));
    app.RemoveHubListener(&listener);
    EXPECT_EQ(app.SendAppMessage(2, 21, 22), 0u);
}
