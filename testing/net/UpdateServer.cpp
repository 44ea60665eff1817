#include "UpdateServer.h"

#include <windows.h>

#include "Loopback.h"

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
