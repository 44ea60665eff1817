#include "EngineFixture.h"

#include <windows.h>

#include "CStringTableWriter.h"
#include "LocalString.h"
#include "WinHandle.h"

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

namespace {
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

void MakeTreeWritable(const std::wstring& root)
{
    FileTree tree = ReadTree(root);
    for (const auto& item : tree)
        SetFileAttributesW((root + item.first).c_str(), FILE_ATTRIBUTE_NORMAL);
}
} // namespace

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

FileTree ReadTree(const std::wstring& folder)
{
    FileTree tree;
    CollectTree(folder, L"", tree);
    return tree;
}

void MakeFolders(const std::wstring& folder, const std::wstring& relativeFile)
{
    for (size_t i = 0; i < relativeFile.size(); ++i)
        if (relativeFile[i] == L'\\')
            CreateDirectoryW((folder + relativeFile.substr(0, i)).c_str(), nullptr);
}

void WriteTree(const std::wstring& folder, const FileTree& tree)
{
    for (const auto& item : tree) {
        MakeFolders(folder, item.first);
        if (item.first.back() != L'\\')
            WriteWholeFile(gCString((folder + item.first).c_str()), item.second);
    }
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

EngineFixture::EngineFixture() : desquasher(host)
{
    installFolder = temp.Path() + L"install\\";
    programFolder = temp.Path() + L"program\\";
    CreateDirectoryW(installFolder.c_str(), nullptr);
    CreateDirectoryW(programFolder.c_str(), nullptr);
    app.programFolder = gCString(programFolder.c_str());
    app.secondFolder = gCString(installFolder.c_str());
    LoadLocalTexts(table, temp.File(L"texts.vsf"), host.blockOffset);
    host.table = &table;
}

EngineFixture::~EngineFixture()
{
    MakeTreeWritable(temp.Path());
}

gCResult EngineFixture::Install(const Bytes& archive)
{
    return Install(archive, desquasher);
}

gCResult EngineFixture::Install(const Bytes& archive, CQVUDesquasher& d)
{
    gCString path = temp.File(L"update.qvu");
    WriteWholeFile(path, archive);
    gCFile file;
    if (file.OpenFullPath(path, kAccessRead) != 0)
        return -1;
    return d.DesquashAndInstall(file);
}

gCResult EngineFixture::Parse(const Bytes& archive)
{
    gCString path = temp.File(L"update.qvu");
    WriteWholeFile(path, archive);
    gCFile file;
    if (file.OpenFullPath(path, kAccessRead) != 0)
        return -1;
    QV_RETURN_IF_FAILED(desquasher.ReadArchiveFile(file));
    return desquasher.ParseUpdateArchive();
}
