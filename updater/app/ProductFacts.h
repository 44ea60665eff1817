// What the updater knows of the installed product, read from the product's own string table
// (Resources\system.vsf beside the program) by the table's key names, and the choice of the
// language block of the updater's own texts.
#pragma once
#include <cstdint>

#include "gCString.h"
#include "gCStringTable.h"

struct CProductFacts {
    gCString language;    // Local_Current
    gCString version;     // QV2_Version
    gCString freeFlag;    // QV2_FreeVersionFlag
    gCString buildString; // ZRN_InternalBuildString
    gCString application; // ZRN_Application

    // The table's full path. 0; 9 when there is no table, 14 when it cannot be opened, 12 when
    // it is larger than kMaxFactsBytes, 17 when it is damaged or holds no facts, 31 when the
    // version or the build string is missing.
    gCResult Read(const gCString& tablePath);
};

// No product's facts table comes near this size; a larger file is not read at all.
const int64_t kMaxFactsBytes = 8 * 1024 * 1024;

// Language blocks lie kLanguageBlockStep ids apart from the first text id on. The block whose
// text 0 (language name) or text 1 (code) equals the language, without regard to case, wins;
// English, the first block, when none does.
const uint32_t kLanguageBlockStep = 1000;
const uint32_t kMaxLanguageBlocks = 64;
uint32_t ChooseLanguageBlock(const gCStringTable& table, const gCString& language);
