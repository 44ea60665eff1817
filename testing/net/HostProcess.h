// A Python server of the host machine started from a test program under Wine: it runs a script
// found beside the program, reports "<pid> <port>" in a ready file once it listens, and is
// stopped by its process id.
#pragma once
#include <cstdint>
#include <string>

#include "Programs.h"
#include "TempFolder.h"

class HostServer {
public:
    HostServer() = default;
    ~HostServer() { Stop(); }
    HostServer(const HostServer&) = delete;
    HostServer& operator=(const HostServer&) = delete;

    void Stop();
    uint16_t Port() const { return m_port; }
    const std::string& Error() const { return m_error; }
    // A file of the test as a quoted argument the server can open.
    static std::wstring HostPath(const std::wstring& dosName);

protected:
    // Starts python3 with the script, readyOption and the ready file's host name, then arguments;
    // false when it did not come up within a few seconds, and Error() says why.
    bool Launch(const wchar_t* script, const std::wstring& readyOption, const std::wstring& arguments);
    std::wstring ScratchFile(const wchar_t* name) const { return m_scratch.File(name).Text(); }

private:
    unsigned long m_pid = 0;
    uint16_t m_port = 0;
    TempFolder m_scratch;
    std::string m_error;
};
