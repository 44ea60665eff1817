#include "TempFolder.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "WinHandle.h"

TempFolder::TempFolder()
{
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    static unsigned counter = 0;
    for (;;) {
        wchar_t name[64];
        swprintf(name, 64, L"qvtest_%lu_%u\\", GetCurrentProcessId(), counter++);
        m_path = std::wstring(base) + name;
        if (CreateDirectoryW(m_path.c_str(), nullptr))
            break;
    }
}

namespace {
void RemoveTree(const std::wstring& folder)
{
    WIN32_FIND_DATAW found;
    CFindHandle search(FindFirstFileW((folder + L"*").c_str(), &found));
    if (search.IsValid()) {
        do {
            std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(folder + name + L"\\");
            else if (SetFileAttributesW((folder + name).c_str(), FILE_ATTRIBUTE_NORMAL)) // read-only files too
                DeleteFileW((folder + name).c_str());
        } while (FindNextFileW(search.Get(), &found));
        search.Reset(); // the folder goes next: nothing may hold it open
    }
    RemoveDirectoryW(folder.c_str());
}
} // namespace

TempFolder::~TempFolder()
{
    RemoveTree(m_path);
}

gCString TempFolder::File(const wchar_t* name) const
{
    return gCString((m_path + name).c_str());
}

bool WriteWholeFile(const gCString& path, const Bytes& bytes)
{
    CStdFile file(_wfopen(path.Text(), L"wb"));
    if (!file.IsValid())
        return false;
    size_t written = bytes.empty() ? 0 : std::fwrite(bytes.data(), 1, bytes.size(), file.Get());
    return file.Close() && written == bytes.size();
}

Bytes ReadWholeFile(const gCString& path)
{
    Bytes bytes;
    CStdFile file(_wfopen(path.Text(), L"rb"));
    if (!file.IsValid())
        return bytes;
    uint8_t piece[4096];
    size_t got;
    while ((got = std::fread(piece, 1, sizeof piece, file.Get())) > 0)
        bytes.insert(bytes.end(), piece, piece + got);
    return bytes;
}

Bytes Utf16(const std::wstring& text)
{
    Bytes bytes;
    for (wchar_t c : text) {
        bytes.push_back(static_cast<uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<uint8_t>(c >> 8));
    }
    return bytes;
}

Bytes Ansi(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

Bytes U32(uint32_t value)
{
    return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value >> 16),
            static_cast<uint8_t>(value >> 24)};
}

namespace {
void CollectFiles(const std::wstring& root, const std::wstring& relative, std::vector<std::wstring>& out)
{
    WIN32_FIND_DATAW found;
    CFindHandle find(FindFirstFileW((root + relative + L"*").c_str(), &found));
    if (!find.IsValid())
        return;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            CollectFiles(root, relative + name + L"\\", out);
        else
            out.push_back(relative + name);
    } while (FindNextFileW(find.Get(), &found));
}
} // namespace

std::vector<std::wstring> FilesBelow(const std::wstring& folder)
{
    std::vector<std::wstring> files;
    CollectFiles(folder, L"", files);
    std::sort(files.begin(), files.end());
    return files;
}
