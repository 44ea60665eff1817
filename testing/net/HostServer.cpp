#include "HostServer.h"

#include <winsock2.h>

#include <cstdio>
#include <cstring>

#include "Loopback.h"
#include "NetHandles.h"
#include "Programs.h"
#include "Wait.h"

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
    const std::wstring quoted = L"\"" + std::wstring(name, name + std::strlen(name)) + L"\"";
    HeapFree(GetProcessHeap(), 0, name);
    return quoted;
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
    unsigned port = 0;
    const bool up = WaitUntil(
        [&] {
            CStdFile f(_wfopen(ready.c_str(), L"r"));
            return f.IsValid() && std::fscanf(f.Get(), "%lu %u", &m_pid, &port) == 2;
        },
        nullptr, 10000);
    m_port = static_cast<uint16_t>(port);
    if (!up)
        m_error = "the server did not report ready";
    return up;
}

void HostServer::Stop()
{
    if (m_pid == 0)
        return;
    (void)RunProgram(L"/bin/kill " + std::to_wstring(m_pid));                // the port shows whether it ended
    (void)WaitUntil([this] { return !PortAnswers(m_port); }, nullptr, 5000); // gone either way
    m_pid = 0;
    m_port = 0;
}

bool UpdateServer::Start(const std::wstring& options)
{
    const std::wstring log = m_scratch.File(L"requests.log").Text();
    DeleteFileW(log.c_str());
    // A lifetime longer than any test or benchmark run; the ready file's name follows the options.
    return HostServer::Start(L"update_server.py",
                             L"--log " + HostPath(log) + L" --lifetime 900 " + options + L" --port-file");
}

gCString UpdateServer::Host() const
{
    return HostAndPort(Port());
}

std::string UpdateServer::Requests() const
{
    const Bytes bytes = ReadWholeFile(m_scratch.File(L"requests.log"));
    return std::string(bytes.begin(), bytes.end());
}
