#include "EngineFixture.h"

#include <windows.h>

#include "CStringTableWriter.h"
#include "LocalString.h"
#include "WinHandle.h"

namespace {
// Loads the updater's localised texts "T0".."T99" at the host's block offset.
bool LoadLocalTexts(gCStringTable& table, const gCString& vsfPath, uint32_t blockOffset)
{
    CStringTableWriter writer;
    for (uint32_t n = 0; n < 100; ++n) {
        wchar_t text[16];
        swprintf(text, 16, L"T%u", n);
        if (writer.AddRecord(kLocalTextBase + blockOffset + n, gCString(L""), gCString(text)) != 0)
            return false;
    }
    if (writer.SaveAs(vsfPath) != 0)
        return false;
    gCFile file;
    return file.OpenFullPath(vsfPath, kAccessRead) == 0 && table.Load(file) == 0;
}

void CollectTree(const std::wstring& root, const std::wstring& relative, FileTree& tree)
{
    WIN32_FIND_DATAW found;
    CFindHandle search(FindFirstFileW((root + relative + L"*").c_str(), &found));
    if (!search.IsValid())
        return;
    do {
        std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            tree[relative + name + L"\\"] = Bytes();
            CollectTree(root, relative + name + L"\\", tree);
        } else {
            tree[relative + name] = ReadWholeFile(gCString((root + relative + name).c_str()));
        }
    } while (FindNextFileW(search.Get(), &found));
}
} // namespace

FileTree ReadTree(const std::wstring& folder)
{
    FileTree tree;
    CollectTree(folder, L"", tree);
    return tree;
}

void WriteTree(const std::wstring& folder, const FileTree& tree)
{
    for (const auto& item : tree) {
        for (size_t slash = item.first.find(L'\\'); slash != std::wstring::npos;
             slash = item.first.find(L'\\', slash + 1))
            CreateDirectoryW((folder + item.first.substr(0, slash)).c_str(), nullptr);
        if (item.first.back() != L'\\')
            WriteWholeFile(gCString((folder + item.first).c_str()), item.second);
    }
}

FileTree Installed(const FileTree& tree, const FileTree& update)
{
    FileTree result = tree;
    for (const auto& item : update) {
        result[item.first] = item.second;
        for (size_t slash = item.first.find(L'\\'); slash != std::wstring::npos;
             slash = item.first.find(L'\\', slash + 1))
            result.emplace(item.first.substr(0, slash + 1), Bytes());
    }
    return result;
}

std::vector<QVUPackEntry> Entries(const FileTree& tree)
{
    std::vector<QVUPackEntry> entries;
    for (const auto& item : tree)
        if (item.first.back() != L'\\')
            entries.push_back({item.first, item.second});
    return entries;
}

Bytes Text8(const char* text)
{
    return Bytes(text, text + strlen(text));
}

EngineFixture::EngineFixture()
    : installFolder(temp.Path() + L"install\\"), programFolder(temp.Path() + L"program\\"), desquasher(host)
{
    CreateDirectoryW(installFolder.c_str(), nullptr);
    CreateDirectoryW(programFolder.c_str(), nullptr);
    app.programFolder = gCString(programFolder.c_str());
    app.secondFolder = gCString(installFolder.c_str());
    LoadLocalTexts(table, temp.File(L"texts.vsf"), host.blockOffset);
    host.table = &table;
}

void EngineFixture::Lay(const FileTree& tree, const wchar_t* readOnly)
{
    WriteTree(installFolder, tree);
    SetFileAttributesW((installFolder + readOnly).c_str(), FILE_ATTRIBUTE_READONLY);
}

bool EngineFixture::ReadOnly(const wchar_t* name) const
{
    const DWORD attributes = GetFileAttributesW((installFolder + name).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

gCResult EngineFixture::Install(const Bytes& archive)
{
    WriteWholeFile(temp.File(L"update.qvu"), archive);
    gCFile file;
    QV_RETURN_IF_FAILED(file.OpenFullPath(temp.File(L"update.qvu"), kAccessRead));
    return desquasher.DesquashAndInstall(file);
}

gCResult EngineFixture::Parse(const Bytes& archive)
{
    WriteWholeFile(temp.File(L"update.qvu"), archive);
    gCFile file;
    QV_RETURN_IF_FAILED(file.OpenFullPath(temp.File(L"update.qvu"), kAccessRead));
    QV_RETURN_IF_FAILED(desquasher.ReadArchiveFile(file));
    return desquasher.ParseUpdateArchive();
}
