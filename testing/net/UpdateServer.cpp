#include "UpdateServer.h"

#include <windows.h>

#include <cstdio>

#include "HostProcess.h"
#include "Loopback.h"
#include "TempFolder.h"

namespace {

// Longer than any test or benchmark run; the server ends itself after it.
const wchar_t kLifetime[] = L"900";

} // namespace

std::wstring UpdateServer::HostPath(const std::wstring& dosName)
{
    return L"\"" + Widen(UnixName(dosName)) + L"\"";
}

bool UpdateServer::Start(const std::wstring& options)
{
    EnsureWinSockForTests();
    const std::string script = UnixName(ProgramFolder() + L"update_server.py");
    m_readyFile = m_scratch.File(L"ready.txt").Text();
    m_logFile = m_scratch.File(L"requests.log").Text();
    DeleteFileW(m_readyFile.c_str());
    DeleteFileW(m_logFile.c_str());
    const std::string ready = UnixName(m_readyFile);
    const std::string log = UnixName(m_logFile);
    if (script.empty() || ready.empty() || log.empty()) {
        m_error = "no host file names (not running under Wine?)";
        return false;
    }
    const std::wstring line = L"/usr/bin/python3 \"" + Widen(script) + L"\" --port-file \"" + Widen(ready) +
                              L"\" --log \"" + Widen(log) + L"\" --lifetime " + kLifetime + L" " + options;
    if (!LaunchHostProgram(line)) {
        m_error = "python3 could not be started";
        return false;
    }
    if (!ReadReadyFile(m_readyFile, m_pid, m_port)) {
        m_error = "the update server did not report ready";
        return false;
    }
    return true;
}

void UpdateServer::Stop()
{
    // Its files go with the scratch folder; a new start deletes them first.
    StopHostProcess(m_pid, m_port);
    m_pid = 0;
    m_port = 0;
}

gCString UpdateServer::Host() const
{
    return HostAndPort(m_port);
}

std::string UpdateServer::Requests() const
{
    const Bytes bytes = ReadWholeFile(gCString(m_logFile.c_str()));
    return std::string(bytes.begin(), bytes.end());
}
