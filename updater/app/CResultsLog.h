// UpdateResults.log beside the program: created anew at start-up and kept open for the whole
// run. Every line is UTF-8 with CR LF and reaches the file at once, so the log holds what
// happened even when the program is ended from outside.
#pragma once
#include "WinHandle.h"
#include "gCString.h"

class CResultsLog {
public:
    // 0, or 14 when the file cannot be created.
    gCResult Open(const gCString& path);
    bool IsOpen() const { return m_file.IsValid(); }
    // 0; 16 when the write fails; 0 without an open file (nothing to keep the line in).
    gCResult WriteLine(const gCString& text);
    void Close() { m_file.Reset(); }

private:
    CFileHandle m_file;
};
