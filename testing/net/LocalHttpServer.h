// Python's http.server on 127.0.0.1 (a small handler of our own, http_server.py beside the
// test program).
#pragma once
#include "HostProcess.h"

class LocalHttpServer : public HostServer {
public:
    bool Start() { return Launch(L"http_server.py", L"", L""); }
};
