// The application object without a window: start-up from the resource files, the pools, the
// window list, deferred deletions and the notification path.
#include <gtest/gtest.h>

#include "ResultAssert.h"

#include <string>
#include <vector>

#include "BoxCapture.h"
#include "CApp.h"
#include "CResourceFileWriter.h"
#include "CStringTableWriter.h"
#include "CText.h"
#include "TempFolder.h"
#include "TestApp.h"
#include "gCMemFile.h"

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

// A pooled resource that also listens on the hub, answering with a notification's second value.
class Named : public CText {
public:
    Named(uint32_t id, const wchar_t* name)
    {
        m_id = id;
        EXPECT_OK(m_name.SetText(name));
    }
    uint32_t OnNotify(uint32_t, uint32_t, uint32_t b) override { return b; }
};

gCResult SaveResources(const TempFolder& folder, CResourceFileWriter& file)
{
    CreateDirectoryW((folder.Path() + L"Resources").c_str(), nullptr);
    return file.SaveAs(folder.File(L"Resources\\system.vrf"));
}
} // namespace

// The resource file is read whole and closed at once: nothing holds it while the program runs,
// so that an update replaces it in one step. One of a size beyond any program's is as missing.
TEST(AppInit, OpensTheResourceFileAndStringTableAndMissingOnesAreNoFailure)
{
    TempFolder folder;
    for (int64_t size : {int64_t{-1}, int64_t{64} * 1024 * 1024 + 1}) {
        if (size >= 0) {
            CreateDirectoryW((folder.Path() + L"Resources").c_str(), nullptr);
            CFileHandle huge(CreateFileW(folder.File(L"Resources\\system.vrf").Text(), GENERIC_WRITE, 0, nullptr,
                                         CREATE_ALWAYS, 0, nullptr));
            LARGE_INTEGER end;
            end.QuadPart = size;
            ASSERT_TRUE(SetFilePointerEx(huge.Get(), end, nullptr, FILE_BEGIN) && SetEndOfFile(huge.Get()));
        }
        TestApp empty;
        empty.SetProgramFolder(folder.Path());
        EXPECT_OK(empty.Init());
        EXPECT_EQ(empty.GetResourceStream(), nullptr) << size;
        EXPECT_EQ(empty.GetFontResourceStream(), nullptr) << size;
    }

    CResourceFileWriter file;
    ASSERT_OK(file.AddVersion(2));
    gCMemFile body;
    ASSERT_OK(CResourceFileWriter::WriteTextBody(body, gCString(L"Three")));
    ASSERT_OK(file.AddResource('text', 3, gCString(L"Name"), body));
    ASSERT_OK(SaveResources(folder, file));
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
    EXPECT_EQ(app.GetFontResourceStream(), app.GetResourceStream());
    CFileHandle alone(CreateFileW(folder.File(L"Resources\\system.vrf").Text(), GENERIC_READ | GENERIC_WRITE, 0,
                                  nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_TRUE(alone.IsValid()) << "the resource file is held open";
    CText text;
    ASSERT_OK(text.LoadByName(gCString(L"Name"), nullptr, nullptr));
    EXPECT_EQ(W(text.GetText()), L"Three");
}

TEST(AppInit, DamagedResourceFileFailsTheRunWithOneBoxAndStopsTheHeartbeat)
{
    TempFolder folder;
    CResourceFileWriter file;
    ASSERT_OK(file.AddChunk('text', 4000, "abc", 3));
    ASSERT_OK(SaveResources(folder, file));

    BoxCapture boxes;
    TestApp app;
    app.SetProgramFolder(folder.Path());
    EXPECT_NE(app.Run(GetModuleHandleW(nullptr), nullptr, "", SW_SHOW), 0);
    EXPECT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_FALSE(app.IsHeartbeatAlive());
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

// A search of every pool takes the lowest and leaves the font pool (5) to searches that name
// it; a window's every entry leaves the list; notifications reach the hub's listeners.
TEST(AppObject, PoolSearchWindowListAndHub)
{
    CApp app;
    Named* pooled[] = {new Named(1, L"Font"), new Named(2, L"Shared"), new Named(2, L"Shared")};
    for (int32_t i = 0; i < 3; ++i)
        ASSERT_OK(app.AddResource(5 - 2 * i, pooled[i]));
    EXPECT_EQ(app.FindPooledResource(-1, gCString(L"Font")), nullptr);
    EXPECT_EQ(app.FindPooledResourceByID(-1, 1), nullptr);
    EXPECT_EQ(app.FindPooledResourceByID(5, 1), pooled[0]);
    EXPECT_EQ(app.FindPooledResource(-1, gCString(L"Shared")), pooled[2]);
    EXPECT_EQ(app.FindPooledResourceByID(-1, 2), pooled[2]);

    CWindowBase* a = reinterpret_cast<CWindowBase*>(0x1000);
    for (CWindowBase* w : {a, a, reinterpret_cast<CWindowBase*>(0x2000), a})
        ASSERT_OK(app.UpdateWindowList(w, 1));
    EXPECT_OK(app.UpdateWindowList(a, 0));
    EXPECT_EQ(app.GetWindowList().Count(), 1);

    ASSERT_OK(app.AddHubListener(pooled[1]));
    EXPECT_EQ(app.SendAppMessage(2, 21, 22), 22u);
    app.RemoveHubListener(pooled[1]);
    EXPECT_EQ(app.SendAppMessage(2, 21, 22), 0u);
}
