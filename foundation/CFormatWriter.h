// Builds a file of one of the toolkit's own formats in memory, then saves it. The writers
// write exactly what they are given, so they also make damaged files: tests build every file
// they read with them, and the build makes the updater's string table with them.
#pragma once
#include "gCMemFile.h"

class CFormatWriter {
public:
    CFormatWriter() = default;
    virtual ~CFormatWriter() = default;
    CFormatWriter(const CFormatWriter&) = delete;
    CFormatWriter& operator=(const CFormatWriter&) = delete;

    // Saves the bytes written so far, less the last dropTail ones (a file cut short), to a
    // file named by its full path, created anew.
    gCResult SaveAs(const gCString& fullPath, int64_t dropTail = 0);
    const uint8_t* GetData() const { return m_bytes.GetData(); }
    int64_t GetSize() { return m_bytes.GetSize(); }

protected:
    gCMemFile m_bytes;
};
