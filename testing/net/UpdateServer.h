// The project's local update server (testing/updateserver/update_server.py, copied beside the
// test program), started with the options of one test. It records the raw bytes of every
// request it receives.
#pragma once
#include "HostServer.h"
#include "gCString.h"

class UpdateServer : public HostServer {
public:
    // options: the server's own, e.g. L"--mode file --size 1000 --updater-send".
    bool Start(const std::wstring& options);
    // "127.0.0.1:<port>".
    gCString Host() const;
    // Every request received so far, byte for byte.
    std::string Requests() const;
};
