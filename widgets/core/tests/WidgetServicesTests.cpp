// The widget layer's services: the font engine's life, the plain content of a window opened
// without one.
#include <gtest/gtest.h>

#include "ResultAssert.h"

#include "CAppWindow.h"
#include "CBackdrop.h"
#include "CText.h"
#include "FontEngine.h"
#include "TestApp.h"
#include "WidgetServices.h"

TEST(AppServices, FontEngineLivesAsLongAsTheApplication)
{
    {
        TestApp app(GetWidgetServices());
        EXPECT_NE(GetFontLibrary(), nullptr);
        EXPECT_EQ(gGlyphGamma[200], 200);
        EXPECT_EQ(gGlyphGammaInverse[200], 200);
    }
    EXPECT_EQ(GetFontLibrary(), nullptr);
}

namespace {
// What each object saw of the application's end when it was deleted.
struct EndWitness {
    int fontEngine = -1;
    int application = -1;
};

void Witness(EndWitness& seen)
{
    seen.fontEngine = GetFontLibrary() != nullptr;
    seen.application = GetApp() != nullptr;
}

class PooledWitness : public CText {
public:
    explicit PooledWitness(EndWitness& seen) : m_seen(seen) {}
    ~PooledWitness() override { Witness(m_seen); }

private:
    EndWitness& m_seen;
};

class DeferredWitness : public CDeferredObject {
public:
    explicit DeferredWitness(EndWitness& seen) : m_seen(seen) {}
    ~DeferredWitness() override { Witness(m_seen); }

private:
    EndWitness& m_seen;
};
} // namespace

TEST(AppServices, DestructionClearsPoolsBeforeTheFontEngineAndDeferredObjectsBeforeTheApplication)
{
    EndWitness pooled;
    EndWitness deferred;
    {
        TestApp app(GetWidgetServices());
        ASSERT_OK(app.AddResource(5, new PooledWitness(pooled)));
        ASSERT_OK(app.AddDeferred(1, new DeferredWitness(deferred)));
    }
    // Fonts go while the engine that made them still runs.
    EXPECT_EQ(pooled.fontEngine, 1);
    EXPECT_EQ(pooled.application, 1);
    EXPECT_EQ(deferred.fontEngine, 0);
    EXPECT_EQ(deferred.application, 1);
}

TEST(WidgetServices, WindowWithoutContentGetsAPlainBackdrop)
{
    TestApp app(GetWidgetServices());
    CAppWindow* plain = new CAppWindow();
    ASSERT_EQ(plain->Create(320, 200, gCString(L""), -1), 1);
    CBackdrop* backdrop = dynamic_cast<CBackdrop*>(plain->GetContent());
    ASSERT_NE(backdrop, nullptr);
    EXPECT_EQ(backdrop->GetBackBuffer().GetWidth(), 320);
    EXPECT_EQ(backdrop->GetBackBuffer().GetHeight(), 200);
    plain->Close();
    EXPECT_EQ(app.GetWindowList().Count(), 0);
}
