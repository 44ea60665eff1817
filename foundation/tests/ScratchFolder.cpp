#include "ScratchFolder.h"

#include <cstdio>

namespace
{

void RemoveTree(const std::wstring& folder)
{
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((folder + L"*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..")
                continue;
            std::wstring full = folder + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(full + L"\\");
            } else {
                SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(full.c_str());
            }
        } while (FindNextFileW(find, &entry));
        FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
}

} // namespace

ScratchFolder::ScratchFolder()
{
    static unsigned counter = 0;
    wchar_t temp[MAX_PATH];
    DWORD n = GetTempPathW(MAX_PATH, temp);
    std::wstring base(temp, n);
    wchar_t name[64];
    std::swprintf(name, 64, L"qvpaths-%lu-%u\\", GetCurrentProcessId(), ++counter);
    m_path = base + name;
    RemoveTree(m_path);
    CreateDirectoryW(m_path.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder()
{
    RemoveTree(m_path);
}

bool ScratchFolder::WriteFile(const std::wstring& name, const std::string& bytes) const
{
    ScopedHandle file(
        CreateFileW((m_path + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file.IsValid() &&
           ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

bool ScratchFolder::ReadFile(const std::wstring& name, std::string& bytes) const
{
    ScopedHandle file(CreateFileW((m_path + name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid())
        return false;
    char buffer[4096];
    DWORD got = 0;
    bytes.clear();
    while (::ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr) && got > 0)
        bytes.append(buffer, got);
    return true;
}

std::wstring CurrentFolder()
{
    DWORD needed = GetCurrentDirectoryW(0, nullptr);
    std::wstring text(needed, L'\0');
    DWORD n = GetCurrentDirectoryW(needed, &text[0]);
    text.resize(n);
    return text;
}

std::wstring ProgramFolder()
{
    wchar_t module[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, module, MAX_PATH);
    std::wstring text(module, n);
    return text.substr(0, text.find_last_of(L"\\/") + 1);
}
