#include "EndToEnd.h"

#include "CStringTableWriter.h"
#include "Programs.h"
#include "Wait.h"

Bytes ProgramBytes(const wchar_t* name)
{
    return ReadWholeFile(gCString((ProgramFolder() + name).c_str()));
}

Bytes FactsTable(const wchar_t* language, const wchar_t* version)
{
    const wchar_t* const records[][2] = {{L"Local_Current", language},
                                         {L"QV2_Version", version},
                                         {L"QV2_FreeVersionFlag", L"0"},
                                         {L"ZRN_InternalBuildString", L"QV2-TEST"},
                                         {L"ZRN_Application", L"Quorvel 2|Quorvel Zwei"}};
    CStringTableWriter facts;
    for (uint32_t i = 0; i < 5; ++i)
        (void)facts.AddRecord(i + 1, gCString(records[i][0]), gCString(records[i][1])); // a lost one fails the run
    return Bytes(facts.GetData(), facts.GetData() + facts.GetSize());
}

QVUPackEntry Entry(const wchar_t* name, const Bytes& data)
{
    return {name, QVUBytes(data.begin(), data.end())};
}

bool Eventually(const std::function<bool()>& done, int ms)
{
    return WaitUntil(
        done, [] { return SleepEx(20, FALSE) == 0; }, ms);
}

bool CloseOnLine(const Installation& run, const std::string& line, int ms)
{
    HWND window = nullptr;
    return Eventually([&] { return run.Log().find(line) != std::string::npos; }, ms) &&
           Eventually([&] { return (window = FindWindowW(nullptr, L"Quorvel Updater")) != nullptr; }) &&
           PostMessageW(window, WM_CLOSE, 0, 0);
}

Installation::Installation(const wchar_t* language) : m_job(CreateJobObjectW(nullptr, nullptr))
{
    CreateDirectoryW(Path(L"Resources").c_str(), nullptr);
    for (const wchar_t* name : {L"QVUpdater.exe", L"Resources\\QVUpdater.vsf", L"Resources\\QVUpdater.vrf"})
        CopyFileW((ProgramFolder() + name).c_str(), Path(name).c_str(), FALSE);
    CopyFileW((ProgramFolder() + L"QUORVEL.exe").c_str(), Path(L"QUORVEL.EXE").c_str(), FALSE);
    if (language)
        (void)WriteWholeFile(gCString(Path(L"Resources\\system.vsf").c_str()), FactsTable(language, L" 2.0.0 "));
    // Longer than any run's own log, so that a log not made anew shows.
    (void)WriteWholeFile(gCString(Path(L"UpdateResults.log").c_str()), Ansi(std::string(8000, '-')));
}

Installation::~Installation()
{
    KillAll();
}

void Installation::KillAll()
{
    TerminateJobObject(m_job.Get(), 1);
    for (const CKernelHandle& process : m_processes)
        WaitForSingleObject(process.Get(), 5000);
    // Every process of the job has ended before a file of the folder is looked at.
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info = {};
    (void)Eventually([&] {
        return !QueryInformationJobObject(m_job.Get(), JobObjectBasicAccountingInformation, &info, sizeof info,
                                          nullptr) ||
               info.ActiveProcesses == 0;
    });
}

void Installation::PointAt(const gCString& server)
{
    WriteWholeFile(gCString(Path(L"testmode").c_str()), Ansi(std::string(server.ToAnsi()) + "\r\n"));
}

bool Installation::Start(const std::wstring& program, const std::wstring& arguments)
{
    return Launch(L"\"" + Path(program) + L"\" " + arguments, m_folder.Path());
}

bool Installation::StartThrough(const std::wstring& folder)
{
    return Launch(L"\"" + folder + L"QVUpdater.exe\"", folder);
}

bool Installation::Launch(std::wstring line, const std::wstring& folder)
{
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, folder.c_str(), &startup,
                        &info))
        return false;
    CKernelHandle thread(info.hThread);
    m_processes.emplace_back(info.hProcess);
    // In the job before it runs, so that what it starts is in the job too.
    AssignProcessToJobObject(m_job.Get(), info.hProcess);
    return ResumeThread(info.hThread) != static_cast<DWORD>(-1);
}

DWORD Installation::WaitForExit(int ms)
{
    return m_processes.empty() ? kProgramNotStarted : WaitForExitOf(m_processes.size() - 1, ms);
}

DWORD Installation::WaitForExitOf(size_t n, int ms)
{
    DWORD code = kProgramNotStarted;
    if (n < m_processes.size() && WaitForSingleObject(m_processes[n].Get(), static_cast<DWORD>(ms)) == WAIT_OBJECT_0)
        GetExitCodeProcess(m_processes[n].Get(), &code);
    return code;
}

std::string Installation::Log() const
{
    const Bytes bytes = Read(L"UpdateResults.log");
    std::string log(bytes.begin(), bytes.end());
    // Where the folders lie differs from run to run.
    for (const TempFolder* folder : {&m_folder, &m_scratch}) {
        const std::string path(gCString(folder->Path().c_str()).ToAnsi());
        for (size_t at = log.find(path); at != std::string::npos; at = log.find(path))
            log.erase(at, path.size());
    }
    return log;
}

std::vector<std::pair<std::wstring, Bytes>> Installation::Snapshot() const
{
    std::vector<std::pair<std::wstring, Bytes>> files;
    for (const std::wstring& name : FilesBelow(m_folder.Path()))
        if (name != L"UpdateResults.log")
            files.push_back({name, Read(name)});
    return files;
}

std::wstring Installation::WriteArchive(const std::vector<QVUPackEntry>& entries, const std::wstring& script)
{
    return WriteArchiveBytes(PackArchive(entries, script));
}

std::wstring Installation::WriteArchiveBytes(const QVUBytes& archive)
{
    const std::wstring path = m_scratch.Path() + L"update.qvu";
    WriteWholeFile(gCString(path.c_str()), Bytes(archive.begin(), archive.end()));
    return path;
}

std::wstring Installation::Serve(UpdateServer& server, const std::vector<QVUPackEntry>& entries,
                                 const std::wstring& script, const std::wstring& options)
{
    return ServeBytes(server, PackArchive(entries, script), options);
}

std::wstring Installation::ServeBytes(UpdateServer& server, const QVUBytes& archive, const std::wstring& options)
{
    const std::wstring path = WriteArchiveBytes(archive);
    if (!server.Start(options + L" --file " + UpdateServer::HostPath(path)))
        return L"";
    PointAt(server.Host());
    return path;
}
