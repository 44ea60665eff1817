// Python's http.server on 127.0.0.1 (a small handler of our own, http_server.py beside the
// test program), started as a process and stopped by its process id.
#pragma once
#include <cstdint>
#include <string>

#include "TempFolder.h"

class LocalHttpServer {
public:
    LocalHttpServer() = default;
    ~LocalHttpServer() { Stop(); }
    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;

    // False when the server did not come up within a few seconds; Error() says why.
    bool Start();
    void Stop();
    uint16_t Port() const { return m_port; }
    const std::string& Error() const { return m_error; }

private:
    unsigned long m_pid = 0;
    uint16_t m_port = 0;
    // The file where the server reports its process and port.
    TempFolder m_scratch;
    std::wstring m_readyFile;
    std::string m_error;
};
