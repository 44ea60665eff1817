// The widget layer's services: the font engine lives as long as the application, and a window
// opened without a content gets a plain backdrop.
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

TEST(AppServices, FontEngineOutlivesThePoolsButNotTheDeferredObjectsAndAWindowWithoutContentGetsABackdrop)
{
    EndWitness pooled;
    EndWitness deferred;
    {
        TestApp app(GetWidgetServices());
        EXPECT_NE(GetFontLibrary(), nullptr);
        ASSERT_OK(app.AddResource(5, new Witness<CText>(pooled)));
        ASSERT_OK(app.AddDeferred(1, new Witness<CDeferredObject>(deferred)));
        // A window opened without a content gets a plain one of its size.
        CAppWindow* plain = new CAppWindow();
        ASSERT_EQ(plain->Create(320, 200, gCString(L""), -1), 1);
        CBackdrop* backdrop = dynamic_cast<CBackdrop*>(plain->GetContent());
        ASSERT_NE(backdrop, nullptr);
        EXPECT_EQ((gCPoint{backdrop->GetBackBuffer().GetWidth(), backdrop->GetBackBuffer().GetHeight()}),
                  (gCPoint{320, 200}));
    }
    EXPECT_EQ(GetFontLibrary(), nullptr);
    // Fonts go while the engine that made them still runs.
    EXPECT_EQ(pooled.fontEngine, 1);
    EXPECT_EQ(pooled.application, 1);
    EXPECT_EQ(deferred.fontEngine, 0);
    EXPECT_EQ(deferred.application, 1);
}
