#include "CResultsLog.h"

#include "CMemBlockT.h"

gCResult CResultsLog::Open(const gCString& path)
{
    // Others may read it while the program runs.
    HANDLE file = CreateFileW(path.Text(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return kFileOpenFailure;
    m_file.Reset(file);
    return kOk;
}

gCResult CResultsLog::WriteLine(const gCString& text)
{
    if (!m_file.IsValid())
        return kOk;
    const int needed =
        text.IsEmpty() ? 0 : WideCharToMultiByte(CP_UTF8, 0, text.Text(), text.Length(), nullptr, 0, nullptr, nullptr);
    CMemBlockT<char> bytes;
    QV_RETURN_IF_FAILED(bytes.Resize(needed + 2));
    if (needed > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.Text(), text.Length(), bytes.Data(), needed, nullptr, nullptr);
    bytes.Data()[needed] = '\r';
    bytes.Data()[needed + 1] = '\n';
    DWORD written = 0;
    if (!WriteFile(m_file.Get(), bytes.Data(), static_cast<DWORD>(needed + 2), &written, nullptr) ||
        written != static_cast<DWORD>(needed + 2))
        return kStreamFailure;
    return kOk;
}
