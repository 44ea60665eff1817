// This process's name and the names of all running processes. Names are read from each
// process's image path, which needs only limited query rights: reading its modules fails for
// 64-bit and elevated processes, and those must not go unrecognised. A process snapshot names
// the rest; only what neither can read is "<unknown>".
#include <windows.h>

#include <psapi.h>
#include <tlhelp32.h>

#include "CAppWin.h"
#include "CMemBlockT.h"

namespace {

const wchar_t kUnknownName[] = L"<unknown>";
// Far above any real count; the list stops growing there.
const int32_t kMostProcessIds = 65536;

const wchar_t* BaseNameOf(const wchar_t* path)
{
    const wchar_t* name = path;
    for (const wchar_t* c = path; *c; ++c)
        if (*c == L'\\' || *c == L'/')
            name = c + 1;
    return name;
}

// The base name of the process's image; false when it cannot be read.
bool ReadImageName(DWORD processId, gCString& name)
{
    CKernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process.IsValid())
        return false;
    wchar_t path[MAX_PATH + 1] = {};
    DWORD length = MAX_PATH;
    if (!QueryFullProcessImageNameW(process.Get(), 0, path, &length) || length == 0)
        return false;
    path[length < MAX_PATH ? length : MAX_PATH] = 0;
    return name.SetText(BaseNameOf(path)) == kOk;
}

// One snapshot of the system's process table, taken when first asked, for the names that the
// image path did not give.
class CProcessTable {
public:
    bool Find(DWORD processId, gCString& name)
    {
        if (!m_taken) {
            m_snapshot.Reset(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
            m_taken = true;
        }
        if (!m_snapshot.IsValid())
            return false;
        PROCESSENTRY32W entry;
        entry.dwSize = sizeof(entry);
        for (BOOL more = Process32FirstW(m_snapshot.Get(), &entry); more;
             more = Process32NextW(m_snapshot.Get(), &entry)) {
            if (entry.th32ProcessID != processId)
                continue;
            entry.szExeFile[MAX_PATH - 1] = 0;
            return entry.szExeFile[0] && name.SetText(BaseNameOf(entry.szExeFile)) == kOk;
        }
        return false;
    }

private:
    CFileHandle m_snapshot;
    bool m_taken = false;
};

gCResult NameOf(DWORD processId, CProcessTable& table, gCString& name)
{
    if (ReadImageName(processId, name) || table.Find(processId, name))
        return kOk;
    return name.SetText(kUnknownName);
}

// Every process id; the buffer grows until the list fits in it with room to spare.
gCResult ListProcessIds(CMemBlockT<DWORD>& ids, int32_t& count)
{
    for (int32_t capacity = 1024; capacity <= kMostProcessIds; capacity *= 4) {
        QV_RETURN_IF_FAILED(ids.Resize(capacity));
        DWORD bytes = 0;
        const DWORD size = static_cast<DWORD>(capacity) * sizeof(DWORD);
        if (!EnumProcesses(ids.Data(), size, &bytes))
            return kGenericFailure;
        count = static_cast<int32_t>(bytes / sizeof(DWORD));
        if (bytes < size)
            return kOk;
    }
    return kOk;
}

} // namespace

gCString CAppWin::GetProcessName()
{
    gCString name;
    CProcessTable table;
    if (NameOf(GetCurrentProcessId(), table, name) != kOk)
        // Short of memory the name stays unset.
        (void)name.SetText(kUnknownName);
    return name;
}

gCResult CAppWin::GetProcessNames(gCStringArray& names)
{
    CMemBlockT<DWORD> ids;
    int32_t count = 0;
    QV_RETURN_IF_FAILED(ListProcessIds(ids, count));
    CProcessTable table;
    for (int32_t i = 0; i < count; ++i) {
        gCString name;
        QV_RETURN_IF_FAILED(NameOf(ids.Data()[i], table, name));
        QV_RETURN_IF_FAILED(names.Add(name));
    }
    return kOk;
}
