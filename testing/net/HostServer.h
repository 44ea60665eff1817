// The host's Python servers on 127.0.0.1 (scripts copied beside the test program), started
// through Wine and stopped by their process id.
#pragma once
#include <cstdint>
#include <string>

#include "TempFolder.h"
#include "gCString.h"

// A server that writes "<pid> <port>" to the file named by its last argument once it listens,
// and ends by itself after its lifetime.

class HostServer {
public:
    ~HostServer() { Stop(); } // not copied: it owns its scratch folder

    // False when it did not come up within a few seconds; Error() says why.
    bool Start(const wchar_t* script, const std::wstring& options);
    void Stop();
    uint16_t Port() const { return m_port; }
    const std::string& Error() const { return m_error; }
    // A file of the test as an argument the server can open (quoted; "" when not under Wine).
    static std::wstring HostPath(const std::wstring& dosName);

protected:
    // Where the server reports ready, and its own files.
    TempFolder m_scratch;

private:
    unsigned long m_pid = 0;
    uint16_t m_port = 0;
    std::string m_error;
};

// The project's local update server (testing/updateserver/update_server.py), started with the
// options of one test. It records the raw bytes of every request it receives.
class UpdateServer : public HostServer {
public:
    // options: the server's own, e.g. L"--mode file --size 1000 --updater-send".
    bool Start(const std::wstring& options);
    // "127.0.0.1:<port>".
    gCString Host() const;
    // Every request received so far, byte for byte.
    std::string Requests() const;
};
