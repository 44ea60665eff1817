// What the update engine needs of the updater application and its window. The application
// implements it and hands it to the engine's objects; tests use a recording fake. Folders and
// the main window handle come from the foundation's IAppHost.
#pragma once
#include <cstdint>

#include "gCResult.h"
#include "gCString.h"

class gCStream;
class gCStringTable;

// Status-line colours (ARGB).
const uint32_t kLineBlack = 0xFF000000;
const uint32_t kLineRed = 0xFFFF0000;
const uint32_t kLineDimmed = 0xB8000000;

class IUpdaterHost {
public:
    virtual ~IUpdaterHost() = default;

    // A line of the window's status list, also written to the results log.
    virtual gCResult PostStatusLine(gCString text, uint32_t colour, uint32_t presentFlag) = 0;
    // A line of the results log only.
    virtual gCResult WriteLogLine(gCString text) = 0;
    virtual gCResult SetProgress(float fraction, uint32_t flag) = 0;
    virtual gCResult SetCaptionText(gCString text, uint32_t flag) = 0;

    // Writes the whole archive to the source record beside the program and rewinds the
    // archive; a failed write leaves no record.
    virtual gCResult SaveUpdateSource(gCStream& archive) = 0;
    // Copies the program to the slave file and starts it; 0 once started.
    virtual gCResult SelfUpdate() = 0;
    // 1 when the download source record lay beside the program at start-up: this copy is the
    // slave and installs archives of every type itself.
    virtual uint32_t GetSourceRecordFlag() const = 0;
    // Empty when unknown; unset only when memory runs out.
    virtual gCString GetProductBuildString() const = 0;
    virtual uint32_t GetLanguageBlockOffset() const = 0;
    // The application's string table; null when it has none.
    virtual const gCStringTable* GetStringTable() const = 0;

    // The installer is done with the archive it was given: the host may free what holds it.
    virtual void ReleaseArchive() {}

    // One pass of the application's per-tick work, so the window stays alive in long loops.
    virtual gCResult TickNow() = 0;
    virtual void Quit() = 0;
};

// Status and log lines are best effort: a window or log that cannot take one does not stop the
// work it describes.
inline void PostLineBestEffort(IUpdaterHost& host, const gCString& text, uint32_t colour)
{
    (void)host.PostStatusLine(text, colour, 1);
}

inline void LogLineBestEffort(IUpdaterHost& host, const gCString& text)
{
    (void)host.WriteLogLine(text);
}
