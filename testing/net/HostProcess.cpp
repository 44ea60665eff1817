#include "HostProcess.h"

#include <winsock2.h>

#include <cstdio>
#include <vector>

#include "Loopback.h"
#include "NetHandles.h"

namespace {
typedef char*(CDECL* UnixNameFn)(const wchar_t* dosName);

// Wine gives Windows programs the host's file names through this export; empty elsewhere.
std::string UnixName(const std::wstring& dosName)
{
    static UnixNameFn convert = reinterpret_cast<UnixNameFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* name = convert ? convert(dosName.c_str()) : nullptr;
    if (!name)
        return std::string();
    std::string result(name);
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

// Starts a command line without waiting for it; false when it could not be started.
bool LaunchHostProgram(const std::wstring& commandLine)
{
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(0);
    STARTUPINFOW start{};
    start.cb = sizeof start;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &start, &info))
        return false;
    // The program runs on its own; the test finds it through its ready file.
    CKernelHandle process(info.hProcess);
    CKernelHandle thread(info.hThread);
    return true;
}

bool PortAnswers(uint16_t port)
{
    CUniqueSocket s(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    target.sin_port = htons(port);
    return connect(s.Get(), reinterpret_cast<sockaddr*>(&target), sizeof target) == 0;
}

bool ReadReadyFile(const std::wstring& path, unsigned long& pid, uint16_t& port)
{
    for (int i = 0; i < 200; ++i) {
        CStdFile f(_wfopen(path.c_str(), L"r"));
        unsigned long readPid = 0;
        unsigned readPort = 0;
        if (f.IsValid() && std::fscanf(f.Get(), "%lu %u", &readPid, &readPort) == 2) {
            pid = readPid;
            port = static_cast<uint16_t>(readPort);
            return true;
        }
        f.Reset();
        Sleep(50);
    }
    return false;
}
} // namespace

std::wstring HostServer::HostPath(const std::wstring& dosName)
{
    const std::string name = UnixName(dosName);
    return L"\"" + std::wstring(name.begin(), name.end()) + L"\"";
}

bool HostServer::Launch(const wchar_t* script, const std::wstring& readyOption, const std::wstring& arguments)
{
    EnsureWinSockForTests();
    const std::wstring ready = ScratchFile(L"ready.txt");
    DeleteFileW(ready.c_str());
    if (UnixName(ProgramFolder() + script).empty()) {
        m_error = "no host file names (not running under Wine?)";
        return false;
    }
    if (!LaunchHostProgram(L"/usr/bin/python3 " + HostPath(ProgramFolder() + script) + L" " + readyOption +
                           HostPath(ready) + L" " + arguments)) {
        m_error = "python3 could not be started";
        return false;
    }
    if (ReadReadyFile(ready, m_pid, m_port))
        return true;
    m_error = "the server did not report ready";
    return false;
}

void HostServer::Stop()
{
    if (m_pid == 0)
        return;
    LaunchHostProgram(L"/bin/kill " + std::to_wstring(m_pid));
    for (int i = 0; i < 100 && PortAnswers(m_port); ++i)
        Sleep(50);
    m_pid = 0;
    m_port = 0;
}
