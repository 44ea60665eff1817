// A scratch installation of Quorvel 2 in a temporary folder with the real QVUpdater.exe, its
// Resources and the demo product, run as a process of its own against the local update server,
// the way a user runs it.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "QVUPacker.h"
#include "TempFolder.h"
#include "HostServer.h"
#include "WinHandle.h"

// The lines of a check in English up to the server's reply, and of an installation up to its files.
const std::string kUntilReply =
    "WARNING - IN LOCAL TEST MODE! NOT FOR GENERAL USE!\r\nChecking for updates to Quorvel 2 "
    "2.0.0\r\nLooking up server...\r\nServer location found, now attempting to contact "
    "server.\r\nReceived response from server, download is ready to begin.\r\n";
const std::string kUnpacking = "Installing the update...\r\nReading the update file...\r\nUnpacking the update...\r\n"
                               "Checking what the update holds...\r\n";

class Installation {
public:
    // The updater, its Resources, the product, its facts in that language (none when null) and a
    // leftover log from an earlier run.
    explicit Installation(const wchar_t* language = L"English");
    // Ends whatever its runs started, the programs they started included.
    ~Installation();

    std::wstring Path(const std::wstring& relative) const { return m_folder.Path() + relative; }
    Bytes Read(const std::wstring& relative) const { return ReadWholeFile(gCString(Path(relative).c_str())); }
    bool Has(const std::wstring& relative) const
    {
        return GetFileAttributesW(Path(relative).c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    // The results log, the folders' paths taken out of it.
    std::string Log() const;
    // Every file below the folder with its bytes, the log left out.
    std::vector<std::pair<std::wstring, Bytes>> Snapshot() const;
    void PointAt(const gCString& server);

    bool Start(const std::wstring& program = L"QVUpdater.exe", const std::wstring& arguments = L"");
    // Starts the updater through another name of the installation's folder (ending with '\').
    bool StartThrough(const std::wstring& folder);
    // The exit code of the program started last (or of the one started as the n-th), or
    // kProgramNotStarted when it did not end in time.
    DWORD WaitForExit(int ms);
    DWORD WaitForExitOf(size_t n, int ms);
    // Ends every program that the runs started, at once, as a power cut or a kill would.
    void KillAll();

    // An update archive written beside the installation (not in it); its path.
    std::wstring WriteArchive(const std::vector<QVUPackEntry>& entries, const std::wstring& script);
    std::wstring WriteArchiveBytes(const QVUBytes& archive);
    // Serves such an archive with the server's options and points the installation at it; the
    // archive's path, empty when the server did not start.
    std::wstring Serve(UpdateServer& server, const std::vector<QVUPackEntry>& entries, const std::wstring& script,
                       const std::wstring& options = L"--mode file");
    // The same for archive bytes as they are.
    std::wstring ServeBytes(UpdateServer& server, const QVUBytes& archive, const std::wstring& options);

private:
    bool Launch(std::wstring line, const std::wstring& folder);

    TempFolder m_scratch;
    TempFolder m_folder;
    CKernelHandle m_job;
    std::vector<CKernelHandle> m_processes;
};

// The bytes of a program built beside the tests (the demo product's two builds, the marker).
Bytes ProgramBytes(const wchar_t* name);
// The product's facts table.
Bytes FactsTable(const wchar_t* language, const wchar_t* version);
QVUPackEntry Entry(const wchar_t* name, const Bytes& data);
// Polls every 20 ms until done() holds; false on timeout.
bool Eventually(const std::function<bool()>& done, int ms = 15000);
// Once the line is in the log, closes the updater's window as a user does; false when the line or
// the window never came.
bool CloseOnLine(const Installation& run, const std::string& line, int ms);
