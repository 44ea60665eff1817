#include "LocalHttpServer.h"

#include <winsock2.h>

#include <cstdio>
#include <vector>

#include "Loopback.h"

namespace {

typedef char*(CDECL* UnixNameFn)(const wchar_t* dosName);

// Wine gives Windows programs the host's file names through this export.
std::string UnixName(const std::wstring& dosName)
{
    static UnixNameFn convert = reinterpret_cast<UnixNameFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!convert)
        return std::string();
    char* name = convert(dosName.c_str());
    if (!name)
        return std::string();
    std::string result(name);
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

std::wstring Widen(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

bool Launch(const std::wstring& commandLine)
{
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(0);
    STARTUPINFOW start{};
    start.cb = sizeof start;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &start, &info))
        return false;
    if (info.hProcess)
        CloseHandle(info.hProcess);
    if (info.hThread)
        CloseHandle(info.hThread);
    return true;
}

bool PortAnswers(uint16_t port)
{
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    target.sin_port = htons(port);
    bool answered = connect(s, reinterpret_cast<sockaddr*>(&target), sizeof target) == 0;
    closesocket(s);
    return answered;
}

} // namespace

bool LocalHttpServer::Start()
{
    EnsureWinSockForTests();
    wchar_t module[MAX_PATH];
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    std::wstring folder(module);
    folder.resize(folder.find_last_of(L'\\') + 1);
    const std::string script = UnixName(folder + L"http_server.py");
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    m_readyFile = std::wstring(temp) + L"qv_http_" + std::to_wstring(GetCurrentProcessId()) + L".txt";
    DeleteFileW(m_readyFile.c_str());
    const std::string ready = UnixName(m_readyFile);
    if (script.empty() || ready.empty()) {
        m_error = "no host file names (not running under Wine?)";
        return false;
    }
    if (!Launch(L"/usr/bin/python3 \"" + Widen(script) + L"\" \"" + Widen(ready) + L"\"")) {
        m_error = "python3 could not be started";
        return false;
    }
    for (int i = 0; i < 200; ++i) {
        FILE* f = _wfopen(m_readyFile.c_str(), L"r");
        if (f) {
            unsigned long pid = 0;
            unsigned port = 0;
            int read = std::fscanf(f, "%lu %u", &pid, &port);
            std::fclose(f);
            if (read == 2) {
                m_pid = pid;
                m_port = static_cast<uint16_t>(port);
                return true;
            }
        }
        Sleep(50);
    }
    m_error = "the server did not report ready";
    return false;
}

void LocalHttpServer::Stop()
{
    if (m_pid == 0)
        return;
    Launch(L"/bin/kill " + std::to_wstring(m_pid));
    for (int i = 0; i < 100 && PortAnswers(m_port); ++i)
        Sleep(50);
    DeleteFileW(m_readyFile.c_str());
    m_pid = 0;
    m_port = 0;
}
