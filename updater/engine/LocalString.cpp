#include "LocalString.h"

#include "gCStringTable.h"

gCString& LocalString(gCString& out, uint32_t id, const IUpdaterHost& app)
{
    const gCStringTable* table = app.GetStringTable();
    out = table ? table->GetTextByID(id, 0) : gCString(gCStringTable::kErrorText);
    return out;
}

gCString LocalText(const IUpdaterHost& app, uint32_t n)
{
    gCString text;
    return LocalString(text, kLocalTextBase + app.GetLanguageBlockOffset() + n, app);
}
