// The text source of a string table: UTF-8, one entry a line, "<id><TAB><name><TAB><text>".
// The name may be empty; the text keeps its '|' variants as written. Empty lines and lines
// starting with '#' are skipped. "@base <number>" adds that number to the ids that follow
// (a language block of the updater's texts starts at 3000000000 plus its offset).
#pragma once
#include "CStringTableWriter.h"
#include "gCArray.h"
#include "gCStringArray.h"

class CVsfSource {
public:
    // Adds one record per entry to the writer, in source order. On a fault in the source it
    // stops with 20 and GetError names the line; an id or a name given twice is such a fault.
    gCResult Parse(const char* text, int32_t bytes, CStringTableWriter& writer);
    const gCString& GetError() const { return m_error; }
    int32_t GetRecordCount() const { return m_ids.Count(); }

private:
    gCResult ParseLine(const gCString& line, CStringTableWriter& writer);
    gCResult Fail(const wchar_t* what);

    int32_t m_lineNumber = 0;
    uint64_t m_base = 0;
    gCArray<uint32_t> m_ids;
    gCStringArray m_names;
    gCString m_error;
};
