#include "WidgetServices.h"

#include "CBackdrop.h"
#include "FontEngine.h"

namespace {
void StartEngines()
{
    // A failure shows later, when a font cannot be loaded.
    (void)InitFontEngine();
    BuildGammaTables(1.0f);
}

const CAppServices kWidgetServices = {StartEngines, DoneFontEngine, CBackdrop::CreatePlain};
} // namespace

const CAppServices* GetWidgetServices()
{
    return &kWidgetServices;
}
