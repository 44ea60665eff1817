#include "LocalHttpServer.h"

#include <winsock2.h>

#include "HostProcess.h"
#include "Loopback.h"

bool LocalHttpServer::Start()
{
    EnsureWinSockForTests();
    const std::string script = UnixName(ProgramFolder() + L"http_server.py");
    m_readyFile = m_scratch.File(L"ready.txt").Text();
    DeleteFileW(m_readyFile.c_str());
    const std::string ready = UnixName(m_readyFile);
    if (script.empty() || ready.empty()) {
        m_error = "no host file names (not running under Wine?)";
        return false;
    }
    if (!LaunchHostProgram(L"/usr/bin/python3 \"" + Widen(script) + L"\" \"" + Widen(ready) + L"\"")) {
        m_error = "python3 could not be started";
        return false;
    }
    if (ReadReadyFile(m_readyFile, m_pid, m_port))
        return true;
    m_error = "the server did not report ready";
    return false;
}

void LocalHttpServer::Stop()
{
    if (m_pid == 0)
        return;
    StopHostProcess(m_pid, m_port);
    DeleteFileW(m_readyFile.c_str());
    m_pid = 0;
    m_port = 0;
}
