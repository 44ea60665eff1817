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

namespace {
// What an object saw of the application's end when it was deleted.
struct EndWitness {
    int fontEngine = -1;
    int application = -1;
};

template <typename Base>
class Witness : public Base {
public:
    explicit Witness(EndWitness& seen) : m_seen(seen) {}
    ~Witness() override
    {
        m_seen.fontEngine = GetFontLibrary() != nullptr;
        m_seen.application = GetApp() != nullptr;
    }

private:
    EndWitness& m_seen;
};
} // namespace

TEST(AppServices, FontEngineLivesAsLongAsTheApplicationAndOutlivesThePoolsButNotTheDeferredObjects)
{
    EndWitness pooled;
    EndWitness deferred;
    {
        TestApp app(GetWidgetServices());
        EXPECT_NE(GetFontLibrary(), nullptr);
        ASSERT_OK(app.AddResource(5, new Witness<CText>(pooled)));
        ASSERT_OK(app.AddDeferred(1, new Witness<CDeferredObject>(deferred)));
    }
    EXPECT_EQ(GetFontLibrary(), nullptr);
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
    plain->Close();
    EXPECT_EQ(app.GetWindowList().Count(), 0);
}
