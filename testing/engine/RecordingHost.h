// A stand-in for the updater application and its window: records every status line, log
// line, caption and progress step in order, and answers the product facts that a test sets.
#pragma once
#include <string>
#include <vector>

#include "AppHost.h"
#include "SourceRecord.h"
#include "UpdaterHost.h"
#include "gCStringTable.h"

struct HostEvent {
    enum Kind { Status, Log, Caption } kind;
    std::wstring text;
    uint32_t colour;
};

class RecordingHost : public IUpdaterHost {
public:
    gCResult PostStatusLine(gCString text, uint32_t colour, uint32_t) override
    {
        return Note(HostEvent::Status, text, colour);
    }
    gCResult WriteLogLine(gCString text) override { return Note(HostEvent::Log, text); }
    gCResult SetProgress(float fraction, uint32_t) override
    {
        progress.push_back(fraction);
        return kOk;
    }
    gCResult SetCaptionText(gCString text, uint32_t) override { return Note(HostEvent::Caption, text); }
    // Beside the program, as the application writes it.
    gCResult SaveUpdateSource(gCStream& archive) override
    {
        IAppHost* app = GetAppHost();
        return WriteSourceRecord(app ? app->GetProgramFolder() : gCString(L""), archive);
    }
    gCResult SelfUpdate() override
    {
        ++selfUpdates;
        releasesAtSelfUpdate = archiveReleases;
        return selfUpdateResult;
    }
    uint32_t GetSourceRecordFlag() const override { return sourceRecord; }
    gCString GetProductBuildString() const override { return gCString(productBuild.c_str()); }
    uint32_t GetLanguageBlockOffset() const override { return blockOffset; }
    const gCStringTable* GetStringTable() const override { return table; }
    gCResult TickNow() override
    {
        ++ticks;
        return kOk;
    }
    void Quit() override { ++quits; }
    void ReleaseArchive() override { ++archiveReleases; }

    // Status lines with a "!" in front of red ones and "~" in front of dimmed ones.
    std::vector<std::wstring> StatusLines() const { return Lines(HostEvent::Status); }
    std::vector<std::wstring> LogLines() const { return Lines(HostEvent::Log); }

    std::vector<HostEvent> events;
    std::vector<float> progress;
    int ticks = 0;
    int quits = 0;
    int selfUpdates = 0;
    int archiveReleases = 0;
    int releasesAtSelfUpdate = -1;
    gCResult selfUpdateResult = 0;
    uint32_t sourceRecord = 0;
    std::wstring productBuild;
    uint32_t blockOffset = 1000;
    const gCStringTable* table = nullptr;

private:
    gCResult Note(HostEvent::Kind kind, const gCString& text, uint32_t colour = 0)
    {
        events.push_back({kind, text.Text(), colour});
        return kOk;
    }
    std::vector<std::wstring> Lines(HostEvent::Kind kind) const
    {
        std::vector<std::wstring> out;
        for (const HostEvent& e : events)
            if (e.kind == kind)
                out.push_back((e.colour == kLineRed ? L"!" : e.colour == kLineDimmed ? L"~" : L"") + e.text);
        return out;
    }
};
