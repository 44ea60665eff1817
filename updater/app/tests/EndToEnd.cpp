#include "EndToEnd.h"

#include <shlobj.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstring>
#include <cstdlib>

#include "CStringTableWriter.h"
#include "Programs.h"
#include "ShellHandles.h"
#include "Wait.h"

const wchar_t* const kInstalledVersion = L"2.0.0";
const wchar_t* const kInstalledBuild = L"QV2-TEST";

namespace {
void CopyBeside(const std::wstring& from, const std::wstring& to)
{
    CopyFileW(from.c_str(), to.c_str(), FALSE);
}

template <typename Visit>
void ForEachProcess(Visit visit)
{
    CFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot.IsValid())
        return;
    PROCESSENTRY32W entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more; more = Process32NextW(snapshot.Get(), &entry))
        visit(entry);
}

const wchar_t* BaseName(const wchar_t* path)
{
    const wchar_t* name = path;
    for (const wchar_t* c = path; *c; ++c)
        if (*c == L'\\' || *c == L'/')
            name = c + 1;
    return name;
}
} // namespace

Bytes ProgramBytes(const wchar_t* name)
{
    return ReadWholeFile(gCString((ProgramFolder() + name).c_str()));
}

Bytes FactsTable(const wchar_t* language, const wchar_t* version)
{
    CStringTableWriter facts;
    (void)facts.AddRecord(1, gCString(L"Local_Current"), gCString(language)); // a lost record fails the run
    (void)facts.AddRecord(2, gCString(L"QV2_Version"), gCString(version));
    (void)facts.AddRecord(3, gCString(L"QV2_FreeVersionFlag"), gCString(L"0"));
    (void)facts.AddRecord(4, gCString(L"ZRN_InternalBuildString"), gCString(kInstalledBuild));
    (void)facts.AddRecord(5, gCString(L"ZRN_Application"), gCString(L"Quorvel 2"));
    return Bytes(facts.GetData(), facts.GetData() + facts.GetSize());
}

QVUPackEntry Entry(const wchar_t* name, const Bytes& data)
{
    return {name, QVUBytes(data.begin(), data.end())};
}

bool Eventually(const std::function<bool()>& done, int ms)
{
    return WaitUntil(
        done,
        [] {
            Sleep(20);
            return true;
        },
        ms);
}

Installation::Installation(bool withFacts, const wchar_t* language)
{
    const std::wstring built = ProgramFolder();
    CreateDirectoryW(Path(L"Resources").c_str(), nullptr);
    CopyBeside(built + L"QVUpdater.exe", Path(L"QVUpdater.exe"));
    CopyBeside(built + L"Resources\\QVUpdater.vsf", Path(L"Resources\\QVUpdater.vsf"));
    CopyBeside(built + L"Resources\\QVUpdater.vrf", Path(L"Resources\\QVUpdater.vrf"));
    CopyBeside(built + L"QUORVEL.exe", Path(L"QUORVEL.EXE"));
    if (withFacts)
        (void)WriteWholeFile(File(L"Resources\\system.vsf"), FactsTable(language, kInstalledVersion));
}

void Installation::PointAt(const gCString& server)
{
    WriteWholeFile(File(L"testmode"), Ansi(std::string(server.ToAnsi()) + "\r\n"));
}

bool Installation::Start(const std::wstring& program, const std::wstring& arguments)
{
    std::wstring line = L"\"" + Path(program) + L"\"";
    if (!arguments.empty())
        line += L" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, m_folder.Path().c_str(), &startup,
                        &info))
        return false;
    CKernelHandle thread(info.hThread);
    m_process.Reset(info.hProcess);
    m_processId = info.dwProcessId;
    return true;
}

bool Installation::WaitForExit(int ms, DWORD* exitCode)
{
    if (!m_process.IsValid() || WaitForSingleObject(m_process.Get(), static_cast<DWORD>(ms)) != WAIT_OBJECT_0)
        return false;
    if (exitCode)
        GetExitCodeProcess(m_process.Get(), exitCode);
    return true;
}

namespace {
struct WindowSearch {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK MatchUpdaterWindow(HWND window, LPARAM context)
{
    WindowSearch& search = *reinterpret_cast<WindowSearch*>(context);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    wchar_t title[64] = {};
    GetWindowTextW(window, title, 64);
    if (pid == search.pid && IsWindowVisible(window) && wcscmp(title, L"Quorvel Updater") == 0) {
        search.found = window;
        return FALSE;
    }
    return TRUE;
}
} // namespace

HWND Installation::FindWindowOfUpdater() const
{
    WindowSearch search = {m_processId, nullptr};
    EnumWindows(MatchUpdaterWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool Installation::CloseWindow()
{
    HWND window = nullptr;
    if (!Eventually([&] { return (window = FindWindowOfUpdater()) != nullptr; }))
        return false;
    return PostMessageW(window, WM_CLOSE, 0, 0) != 0;
}

std::string Installation::Log() const
{
    const Bytes bytes = ReadWholeFile(File(L"UpdateResults.log"));
    return std::string(bytes.begin(), bytes.end());
}

bool Installation::WaitForLog(const std::string& text, int ms) const
{
    return Eventually([&] { return Log().find(text) != std::string::npos; }, ms);
}

bool Installation::Exists(const std::wstring& relative) const
{
    return GetFileAttributesW(Path(relative).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::pair<std::wstring, Bytes>> Installation::Snapshot() const
{
    std::vector<std::pair<std::wstring, Bytes>> files;
    for (const std::wstring& name : FilesBelow(m_folder.Path()))
        if (name != L"UpdateResults.log")
            files.push_back({name, ReadWholeFile(gCString((m_folder.Path() + name).c_str()))});
    return files;
}

std::wstring Installation::WriteArchive(const std::vector<QVUPackEntry>& entries, const std::wstring& script)
{
    const QVUBytes archive = PackArchive(entries, script);
    const std::wstring path = ScratchPath(L"update.qvu");
    WriteWholeFile(gCString(path.c_str()), Bytes(archive.begin(), archive.end()));
    return path;
}

bool Installation::Serve(UpdateServer& server, const std::vector<QVUPackEntry>& entries, const std::wstring& script,
                         const std::wstring& options)
{
    const std::wstring archive = WriteArchive(entries, script);
    if (!server.Start(options + L" --file " + UpdateServer::HostPath(archive)))
        return false;
    PointAt(server.Host());
    return true;
}

::testing::AssertionResult LinesInOrder(const std::string& log, const std::vector<std::string>& texts)
{
    size_t at = 0;
    for (const std::string& text : texts) {
        const size_t found = log.find(text, at);
        if (found == std::string::npos)
            return ::testing::AssertionFailure() << "missing " << text << " in\n" << log;
        at = found + text.size();
    }
    return ::testing::AssertionSuccess();
}

bool IsProcessRunning(const wchar_t* name)
{
    bool running = false;
    ForEachProcess(
        [&](const PROCESSENTRY32W& entry) { running = running || _wcsicmp(BaseName(entry.szExeFile), name) == 0; });
    return running;
}

void EndProcessesNamed(const wchar_t* name)
{
    ForEachProcess([&](const PROCESSENTRY32W& entry) {
        if (_wcsicmp(BaseName(entry.szExeFile), name) != 0)
            return;
        CKernelHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID));
        if (process.IsValid()) {
            TerminateProcess(process.Get(), 1);
            WaitForSingleObject(process.Get(), 5000);
        }
    });
}

bool DropFile(HWND window, const std::wstring& path)
{
    const size_t bytes = sizeof(DROPFILES) + (path.size() + 2) * sizeof(wchar_t);
    CGlobalMemory block(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes));
    if (!block.IsValid())
        return false;
    {
        CGlobalLock lock(block.Get());
        DROPFILES* drop = static_cast<DROPFILES*>(lock.Data());
        drop->pFiles = sizeof(DROPFILES);
        drop->fWide = TRUE;
        memcpy(reinterpret_cast<uint8_t*>(drop) + sizeof(DROPFILES), path.c_str(), path.size() * sizeof(wchar_t));
    }
    if (!PostMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(block.Get()), 0))
        return false;
    (void)block.Release(); // the window frees the drop block
    return true;
}

ScreenShot::ScreenShot(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    m_width = client.right;
    m_height = client.bottom;
    m_pixels.resize(static_cast<size_t>(m_width) * m_height);
    CWindowDC screen(nullptr);
    CMemoryDC memory(CreateCompatibleDC(screen.Get()));
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = m_width;
    info.bmiHeader.biHeight = -m_height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    CBitmapHandle bitmap(CreateDIBSection(screen.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    CSelectGuard selected;
    (void)selected.Select(memory.Get(), bitmap.Get()); // a failed copy shows as wrong pixels
    BitBlt(memory.Get(), 0, 0, m_width, m_height, screen.Get(), origin.x, origin.y, SRCCOPY);
    GdiFlush();
    memcpy(m_pixels.data(), bits, m_pixels.size() * 4);
}

int ScreenShot::Count(const gCRect& r, uint32_t colour, int tolerance) const
{
    int n = 0;
    for (int32_t y = r.top; y < r.bottom; ++y)
        for (int32_t x = r.left; x < r.right; ++x) {
            const uint32_t p = At(x, y);
            bool close = true;
            for (int shift = 0; shift <= 16; shift += 8)
                close = close && std::abs(int((p >> shift) & 0xFF) - int((colour >> shift) & 0xFF)) <= tolerance;
            n += close ? 1 : 0;
        }
    return n;
}
