// The project's local update server (testing/updateserver/update_server.py, copied beside the
// test program) on 127.0.0.1, started as a process with the options of one test and stopped
// by its process id. It records the raw bytes of every request it receives.
#pragma once
#include <cstdint>
#include <string>

#include "TempFolder.h"
#include "gCString.h"

class UpdateServer {
public:
    UpdateServer() = default;
    ~UpdateServer() { Stop(); }
    UpdateServer(const UpdateServer&) = delete;
    UpdateServer& operator=(const UpdateServer&) = delete;

    // options: the server's own, e.g. L"--mode file --size 1000 --updater-send". False when it
    // did not come up within a few seconds; Error() says why.
    bool Start(const std::wstring& options);
    void Stop();
    uint16_t Port() const { return m_port; }
    // "127.0.0.1:<port>".
    gCString Host() const;
    // Every request received so far, byte for byte.
    std::string Requests() const;
    const std::string& Error() const { return m_error; }
    // A file of the test as an option value the server can open.
    static std::wstring HostPath(const std::wstring& dosName);

private:
    unsigned long m_pid = 0;
    uint16_t m_port = 0;
    // The files where the server reports its process and port and logs the requests.
    TempFolder m_scratch;
    std::wstring m_readyFile;
    std::wstring m_logFile;
    std::string m_error;
};
