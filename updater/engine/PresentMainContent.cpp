#include "PresentMainContent.h"

#include "CAppBase.h"
#include "CWindowBase.h"

gCResult PresentMainContent()
{
    CWindowBase* window = GetMainWindow();
    IWindowContent* content = window ? window->GetContent() : nullptr;
    return content ? content->Present() : kOk;
}
