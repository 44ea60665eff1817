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
    TestApp empty;
    empty.SetProgramFolder(folder.Path());
    EXPECT_OK(empty.Init());
    EXPECT_EQ(empty.GetResourceStream(), nullptr);

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

TEST(AppObject, PoolSearchLeavesFontsToNamedSearches)
{
    CApp app;
    ASSERT_OK(app.AddResource(5, new NamedResource(1, L"Font")));
    ASSERT_OK(app.AddResource(3, new NamedResource(2, L"Shared")));
    ASSERT_OK(app.AddResource(1, new NamedResource(3, L"Shared")));
    EXPECT_RESULT(app.AddResource(6, nullptr), kBadParameter);

    EXPECT_EQ(app.FindPooledResource(-1, gCString(L"Font")), nullptr);
    EXPECT_EQ(app.FindPooledResourceByID(5, 1)->GetID(), 1u);
    // The lowest pool wins.
    EXPECT_EQ(app.FindPooledResource(-1, gCString(L"Shared"))->GetID(), 3u);
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
    EXPECT_EQ(app.GetWindowList()[1], b);
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
