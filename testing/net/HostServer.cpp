#include "HostServer.h"

#include <winsock2.h>

#include <cstdio>

#include "Loopback.h"
#include "NetHandles.h"
#include "Programs.h"

namespace {

typedef char*(CDECL* UnixNameFn)(const wchar_t* dosName);

bool PortAnswers(uint16_t port)
{
    CUniqueSocket s(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_addr.s_addr = LoopbackAddress();
    target.sin_port = htons(port);
    return connect(s.Get(), reinterpret_cast<sockaddr*>(&target), sizeof target) == 0;
}

} // namespace

// Wine gives Windows programs the host's file names through this export.
std::wstring HostServer::HostPath(const std::wstring& dosName)
{
    static UnixNameFn convert = reinterpret_cast<UnixNameFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* name = convert ? convert(dosName.c_str()) : nullptr;
    if (!name)
        return L"\"\"";
    const std::string host(name);
    HeapFree(GetProcessHeap(), 0, name);
    return L"\"" + std::wstring(host.begin(), host.end()) + L"\"";
}

bool HostServer::Start(const wchar_t* script, const std::wstring& options)
{
    EnsureWinSockForTests();
    const std::wstring ready = m_scratch.File(L"ready.txt").Text();
    DeleteFileW(ready.c_str());
    if (HostPath(ready) == L"\"\"") {
        m_error = "no host file names (not running under Wine?)";
        return false;
    }
    const std::wstring line =
        L"/usr/bin/python3 " + HostPath(ProgramFolder() + script) + L" " + options + L" " + HostPath(ready);
    if (RunProgram(line) == kProgramNotStarted) {
        m_error = "python3 could not be started";
        return false;
    }
    for (int i = 0; i < 200; ++i) {
        CStdFile f(_wfopen(ready.c_str(), L"r"));
        unsigned port = 0;
        if (f.IsValid() && std::fscanf(f.Get(), "%lu %u", &m_pid, &port) == 2) {
            m_port = static_cast<uint16_t>(port);
            return true;
        }
        Sleep(50);
    }
    m_error = "the server did not report ready";
    return false;
}

void HostServer::Stop()
{
    if (m_pid == 0)
        return;
    (void)RunProgram(L"/bin/kill " + std::to_wstring(m_pid)); // the port shows whether it ended
    for (int i = 0; i < 100 && PortAnswers(m_port); ++i)
        Sleep(50);
    m_pid = 0;
    m_port = 0;
}
