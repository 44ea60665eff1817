// The project's local update server (tools/updateserver/update_server.py, copied beside the
// test program) on 127.0.0.1, started with the options of one test. It records the raw bytes
// of every request it receives.
#pragma once
#include "HostProcess.h"
#include "Loopback.h"

class UpdateServer : public HostServer {
public:
    // options: the server's own, e.g. L"--mode file --size 1000 --updater-send". The server ends
    // itself after a lifetime longer than any test or benchmark run.
    bool Start(const std::wstring& options)
    {
        DeleteFileW(ScratchFile(L"requests.log").c_str());
        return Launch(L"update_server.py", L"--port-file ",
                      L"--log " + HostPath(ScratchFile(L"requests.log")) + L" --lifetime 900 " + options);
    }
    // "127.0.0.1:<port>".
    gCString Host() const { return HostAndPort(Port()); }
    // Every request received so far, byte for byte.
    std::string Requests() const
    {
        const Bytes bytes = ReadWholeFile(gCString(ScratchFile(L"requests.log").c_str()));
        return std::string(bytes.begin(), bytes.end());
    }
};
