// The updater's localised texts: text n is the string with id 3,000,000,000 + the language
// block offset + n in the application's string table, first variant.
#pragma once
#include <cstdint>

#include "UpdaterHost.h"

const uint32_t kLocalTextBase = 3000000000u;

// The text of the id; the table's error text when the id (or the table) is missing.
gCString& LocalString(gCString& out, uint32_t id, const IUpdaterHost& app);
// Localised text n; unset when memory runs out.
gCString LocalText(const IUpdaterHost& app, uint32_t n);
