#include "HostProcess.h"

#include <winsock2.h>

#include <cstdio>
#include <vector>

#include "NetHandles.h"

namespace {

typedef char*(CDECL* UnixNameFn)(const wchar_t* dosName);

} // namespace

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

bool LaunchHostProgram(const std::wstring& commandLine)
{
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(0);
    STARTUPINFOW start{};
    start.cb = sizeof start;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &start, &info))
        return false;
    // The program runs on its own; the test finds it through its ready file. For a host program
    // Wine gives no process handle, and the thread field then holds a thread id, not a handle:
    // closing it would close whichever handle of this process has that value.
    if (info.hProcess) {
        CKernelHandle process(info.hProcess);
        CKernelHandle thread(info.hThread);
    }
    return true;
}

bool PortAnswers(uint16_t port)
{
    CUniqueSocket s(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    target.sin_port = htons(port);
    return connect(s.Get(), reinterpret_cast<sockaddr*>(&target), sizeof target) == 0;
}

bool ReadReadyFile(const std::wstring& path, unsigned long& pid, uint16_t& port)
{
    unsigned readPort = 0;
    for (int i = 0; i < 200; ++i) {
        CStdFile f(_wfopen(path.c_str(), L"r"));
        if (f.IsValid() && std::fscanf(f.Get(), "%lu %u", &pid, &readPort) == 2) {
            port = static_cast<uint16_t>(readPort);
            return true;
        }
        Sleep(50);
    }
    return false;
}

void StopHostProcess(unsigned long pid, uint16_t port)
{
    if (pid == 0)
        return;
    LaunchHostProgram(L"/bin/kill " + std::to_wstring(pid));
    for (int i = 0; i < 100 && PortAnswers(port); ++i)
        Sleep(50);
}
