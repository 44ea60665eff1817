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
    // Returned as made, so a text lost to memory stays unset instead of becoming empty.
    const gCStringTable* table = app.GetStringTable();
    const uint32_t id = kLocalTextBase + app.GetLanguageBlockOffset() + n;
    return table ? table->GetTextByID(id, 0) : gCString(gCStringTable::kErrorText);
}
