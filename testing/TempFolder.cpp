#include "TempFolder.h"

#include <windows.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>

#include "WinHandle.h"

TempFolder::TempFolder()
{
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    static unsigned counter = 0;
    const std::wstring stem = base + (L"qvtest_" + std::to_wstring(GetCurrentProcessId()) + L"_");
    do
        m_path = stem + std::to_wstring(counter++) + L"\\";
    while (!CreateDirectoryW(m_path.c_str(), nullptr));
}

namespace {
// Calls visit with the path of every file and folder below folder (ending with '\\'); a folder
// after what it holds, once nothing holds it open.
void Walk(const std::wstring& folder, const std::function<void(const std::wstring&, bool)>& visit)
{
    WIN32_FIND_DATAW found;
    CFindHandle find(FindFirstFileW((folder + L"*").c_str(), &found));
    for (bool more = find.IsValid(); more; more = FindNextFileW(find.Get(), &found)) {
        const std::wstring name = found.cFileName;
        const bool isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (name == L"." || name == L"..")
            continue;
        if (isFolder)
            Walk(folder + name + L"\\", visit);
        visit(folder + name, isFolder);
    }
}
} // namespace

TempFolder::~TempFolder()
{
    Walk(m_path, [](const std::wstring& path, bool folder) {
        if (folder)
            RemoveDirectoryW(path.c_str());
        else if (SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL)) // read-only files too
            DeleteFileW(path.c_str());
    });
    RemoveDirectoryW(m_path.c_str());
}

gCString TempFolder::File(const wchar_t* name) const
{
    return gCString((m_path + name).c_str());
}

bool WriteWholeFile(const gCString& path, const Bytes& bytes)
{
    std::ofstream file(path.Text(), std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    file.close();
    return !file.fail();
}

Bytes ReadWholeFile(const gCString& path)
{
    std::ifstream file(path.Text(), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), {});
}

Bytes Utf16(const std::wstring& text)
{
    // The host is little-endian, as the files are.
    const uint8_t* units = reinterpret_cast<const uint8_t*>(text.data());
    return Bytes(units, units + 2 * text.size());
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
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&value);
    return Bytes(bytes, bytes + 4);
}

std::vector<std::wstring> FilesBelow(const std::wstring& folder)
{
    std::vector<std::wstring> files;
    Walk(folder, [&](const std::wstring& path, bool isFolder) {
        if (!isFolder)
            files.push_back(path.substr(folder.size()));
    });
    std::sort(files.begin(), files.end());
    return files;
}
