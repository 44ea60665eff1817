// Registry values of the application object. Every failure is 11, whatever the system's reason.
#include <cwchar>

#include "CAppWin.h"
#include "CMemBlockT.h"
#include "ShellHandles.h"

namespace {

gCResult OpenForQuery(HKEY root, const gCString& keyPath, CRegKey& key)
{
    HKEY opened = nullptr;
    if (RegOpenKeyExW(root, keyPath.Text(), 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS)
        return kRegistryFailure;
    key.Reset(opened);
    return kOk;
}

gCResult ReadString(HKEY root, const gCString& keyPath, const gCString& valueName, gCString& out)
{
    CRegKey key;
    QV_RETURN_IF_FAILED(OpenForQuery(root, keyPath, key));
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key.Get(), valueName.Text(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return kRegistryFailure;
    if (type != REG_SZ || size == 0 || size > 0x7FFFFFF0u)
        return kRegistryFailure;

    // A stored text may lack its terminator, and its size may be odd: one unit more than the
    // bytes need is always there to end it.
    const int32_t units = static_cast<int32_t>((size + 1) / 2 + 1);
    CMemBlockT<wchar_t> buffer;
    if (buffer.Resize(units) != kOk)
        return kRegistryFailure;
    wmemset(buffer.Data(), 0, static_cast<size_t>(units));
    DWORD read = size;
    if (RegQueryValueExW(key.Get(), valueName.Text(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.Data()), &read) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return kRegistryFailure;
    const size_t length = wcsnlen(buffer.Data(), static_cast<size_t>(units));
    if (out.SetTextN(buffer.Data(), static_cast<int32_t>(length)) != kOk)
        return kRegistryFailure;
    return kOk;
}

gCResult ReadDWord(HKEY root, const gCString& keyPath, const gCString& valueName, uint32_t& out)
{
    CRegKey key;
    QV_RETURN_IF_FAILED(OpenForQuery(root, keyPath, key));
    DWORD type = 0;
    DWORD size = sizeof(DWORD);
    DWORD value = 0;
    if (RegQueryValueExW(key.Get(), valueName.Text(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
        ERROR_SUCCESS)
        return kRegistryFailure;
    if (type != REG_DWORD || size != sizeof(DWORD))
        return kRegistryFailure;
    out = value;
    return kOk;
}

gCResult WriteString(HKEY root, const gCString& keyPath, const gCString& valueName, const gCString& text)
{
    HKEY opened = nullptr;
    if (RegOpenKeyExW(root, keyPath.Text(), 0, KEY_WRITE, &opened) != ERROR_SUCCESS)
        return kRegistryFailure;
    CRegKey key(opened);
    const DWORD bytes = static_cast<DWORD>(2 * (text.Length() + 1));
    if (RegSetValueExW(key.Get(), valueName.Text(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.Text()), bytes) !=
        ERROR_SUCCESS)
        return kRegistryFailure;
    return kOk;
}

gCResult WriteDWord(HKEY root, const gCString& keyPath, const gCString& valueName, uint32_t value)
{
    HKEY created = nullptr;
    if (RegCreateKeyExW(root, keyPath.Text(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &created,
                        nullptr) != ERROR_SUCCESS)
        return kRegistryFailure;
    CRegKey key(created);
    const DWORD data = value;
    if (RegSetValueExW(key.Get(), valueName.Text(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof(data)) !=
        ERROR_SUCCESS)
        return kRegistryFailure;
    return kOk;
}

} // namespace

gCResult CAppWin::ReadMachineString(const gCString& keyPath, const gCString& valueName, gCString& out)
{
    return ReadString(HKEY_LOCAL_MACHINE, keyPath, valueName, out);
}

gCResult CAppWin::ReadMachineDWord(const gCString& keyPath, const gCString& valueName, uint32_t& out)
{
    return ReadDWord(HKEY_LOCAL_MACHINE, keyPath, valueName, out);
}

gCResult CAppWin::WriteMachineString(const gCString& keyPath, const gCString& valueName, const gCString& text)
{
    return WriteString(HKEY_LOCAL_MACHINE, keyPath, valueName, text);
}

gCResult CAppWin::WriteMachineDWord(const gCString& keyPath, const gCString& valueName, uint32_t value)
{
    return WriteDWord(HKEY_LOCAL_MACHINE, keyPath, valueName, value);
}

gCResult CAppWin::ReadUserString(const gCString& keyPath, const gCString& valueName, gCString& out)
{
    return ReadString(HKEY_CURRENT_USER, keyPath, valueName, out);
}

gCResult CAppWin::ReadUserDWord(const gCString& keyPath, const gCString& valueName, uint32_t& out)
{
    return ReadDWord(HKEY_CURRENT_USER, keyPath, valueName, out);
}

gCResult CAppWin::WriteUserString(const gCString& keyPath, const gCString& valueName, const gCString& text)
{
    return WriteString(HKEY_CURRENT_USER, keyPath, valueName, text);
}

gCResult CAppWin::WriteUserDWord(const gCString& keyPath, const gCString& valueName, uint32_t value)
{
    return WriteDWord(HKEY_CURRENT_USER, keyPath, valueName, value);
}
