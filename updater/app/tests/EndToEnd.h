// A scratch installation of Quorvel 2 in a temporary folder with the real QVUpdater.exe, its
// Resources and the demo product, run as a process of its own against the local update
// server, the way a user runs it.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <functional>

#include "QVUPacker.h"
#include "gCGeometry.h"
#include "TempFolder.h"
#include "UpdateServer.h"
#include "WinHandle.h"

// The installed product's facts.
extern const wchar_t* const kInstalledVersion;
extern const wchar_t* const kInstalledBuild;

class Installation {
public:
    // Lays out the updater, its Resources, the product (facts included unless told not to)
    // and a "testmode" file naming the server.
    explicit Installation(bool withFacts = true, const wchar_t* language = L"English");

    std::wstring Path(const std::wstring& relative) const { return m_folder.Path() + relative; }
    gCString File(const std::wstring& relative) const { return gCString(Path(relative).c_str()); }
    Bytes Read(const std::wstring& relative) const { return ReadWholeFile(File(relative)); }
    bool Exists(const std::wstring& relative) const;
    void PointAt(const gCString& server);

    // Starts QVUpdater.exe (or the named copy) with the command line's arguments.
    bool Start(const std::wstring& program = L"QVUpdater.exe", const std::wstring& arguments = L"");
    // Waits for the updater to end by itself; false on timeout.
    bool WaitForExit(int ms, DWORD* exitCode = nullptr);
    // Closes the updater's window as a user would.
    bool CloseWindow();
    HWND FindWindowOfUpdater() const;

    std::string Log() const;
    // Waits until the results log holds the text.
    bool WaitForLog(const std::string& text, int ms) const;
    // Every file below the folder, relative name and bytes, sorted by name; the log left out.
    std::vector<std::pair<std::wstring, Bytes>> Snapshot() const;

    // An update archive written beside the installation (not in it).
    std::wstring WriteArchive(const std::vector<QVUPackEntry>& entries, const std::wstring& script);
    // Writes the archive and starts the server with it and the options; points the installation at it.
    bool Serve(UpdateServer& server, const std::vector<QVUPackEntry>& entries, const std::wstring& script,
               const std::wstring& options = L"--mode file");
    std::wstring ScratchPath(const std::wstring& name) const { return m_scratch.Path() + name; }

private:
    TempFolder m_scratch;
    TempFolder m_folder;
    CKernelHandle m_process;
    DWORD m_processId = 0;
};

// The bytes of a program built beside the tests (the demo product's two builds, the marker).
Bytes ProgramBytes(const wchar_t* name);
// The product's facts table.
Bytes FactsTable(const wchar_t* language, const wchar_t* version);
QVUPackEntry Entry(const wchar_t* name, const Bytes& data);
// Polls every 20 ms until done() holds; false on timeout.
bool Eventually(const std::function<bool()>& done, int ms = 15000);
// The log contains each of the texts, in that order.
::testing::AssertionResult LinesInOrder(const std::string& log, const std::vector<std::string>& texts);
// Ends every process of that image name that the tests started.
void EndProcessesNamed(const wchar_t* name);
bool IsProcessRunning(const wchar_t* name);
// The window's client area as it stands on the screen, read back from it.
class ScreenShot {
public:
    explicit ScreenShot(HWND window);
    // 0xRRGGBB.
    uint32_t At(int32_t x, int32_t y) const { return m_pixels[static_cast<size_t>(y) * m_width + x] & 0xFFFFFF; }
    // Pixels of the rectangle within the tolerance of the colour (0xRRGGBB).
    int Count(const gCRect& r, uint32_t colour, int tolerance = 40) const;

private:
    int32_t m_width = 0;
    int32_t m_height = 0;
    std::vector<uint32_t> m_pixels;
};
// Drops the file on the window the way the shell does: WM_DROPFILES with a DROPFILES block.
bool DropFile(HWND window, const std::wstring& path);
