// Writes string-table files (.vsf): records of a u32 id, a u32 reserved word, the key name
// and the text, each text as UTF-16LE units followed by CR LF.
#pragma once
#include "CFormatWriter.h"

class CStringTableWriter : public CFormatWriter {
public:
    gCResult AddRecord(uint32_t id, const gCString& name, const gCString& text, uint32_t reserved = 0);
};
