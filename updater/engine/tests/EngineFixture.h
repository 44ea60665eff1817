// A program folder and an installation folder under a fresh temporary folder, an application
// whose folders point there, the updater's string table (text n reads "T<n>"), and helpers
// for files, archives and trees.
#pragma once
#include <windows.h>

#include <map>
#include <string>

#include "CQVUDesquasher.h"
#include "CStringTableWriter.h"
#include "FakeHost.h"
#include "LocalString.h"
#include "QVUPacker.h"
#include "RecordingHost.h"
#include "TempFolder.h"
#include "WinHandle.h"
#include "gCFile.h"
#include "gCMemFile.h"
#include "gCStringTable.h"

// Every file below a folder by relative name with its bytes, and every folder with a trailing
// '\\' and no bytes.
typedef std::map<std::wstring, Bytes> FileTree;

inline FileTree ReadTree(const std::wstring& root, const std::wstring& relative = L"")
{
    FileTree tree;
    WIN32_FIND_DATAW found;
    CFindHandle search(FindFirstFileW((root + relative + L"*").c_str(), &found));
    for (bool more = search.IsValid(); more; more = FindNextFileW(search.Get(), &found)) {
        const std::wstring name = relative + found.cFileName;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (std::wstring(found.cFileName) == L"." || std::wstring(found.cFileName) == L"..")
                continue;
            const FileTree below = ReadTree(root, name + L"\\");
            tree.insert(below.begin(), below.end());
            tree[name + L"\\"] = Bytes();
        } else {
            tree[name] = ReadWholeFile(gCString((root + name).c_str()));
        }
    }
    return tree;
}

// A folder comes before what it holds.
inline void WriteTree(const std::wstring& folder, const FileTree& tree)
{
    for (const auto& item : tree)
        if (item.first.back() == L'\\')
            CreateDirectoryW((folder + item.first).c_str(), nullptr);
        else
            WriteWholeFile(gCString((folder + item.first).c_str()), item.second);
}

inline std::vector<QVUPackEntry> Entries(const FileTree& tree)
{
    std::vector<QVUPackEntry> entries;
    for (const auto& item : tree)
        if (item.first.back() != L'\\')
            entries.push_back({item.first, item.second});
    return entries;
}

class EngineFixture {
public:
    EngineFixture()
        : installFolder(temp.Path() + L"install\\"), programFolder(temp.Path() + L"program\\"), desquasher(host)
    {
        CreateDirectoryW(installFolder.c_str(), nullptr);
        CreateDirectoryW(programFolder.c_str(), nullptr);
        app.programFolder = gCString(programFolder.c_str());
        app.secondFolder = gCString(installFolder.c_str());
        // The updater's localised texts "T0".."T99" at the host's block offset.
        CStringTableWriter writer;
        for (uint32_t n = 0; n < 100; ++n)
            (void)writer.AddRecord(kLocalTextBase + host.blockOffset + n, gCString(L""),
                                   gCString((L"T" + std::to_wstring(n)).c_str())); // a lost text shows in the lines
        gCFile file;
        if (writer.SaveAs(temp.File(L"texts.vsf")) == kOk &&
            file.OpenFullPath(temp.File(L"texts.vsf"), kAccessRead) == kOk)
            host.table = table.Load(file) == kOk ? &table : nullptr;
    }

    // Writes the installation's files, the one named read-only.
    void Lay(const FileTree& tree, const wchar_t* readOnly)
    {
        WriteTree(installFolder, tree);
        SetFileAttributesW((installFolder + readOnly).c_str(), FILE_ATTRIBUTE_READONLY);
    }
    FileTree Tree() const { return ReadTree(installFolder); }
    bool ReadOnly(const wchar_t* name) const
    {
        const DWORD attributes = GetFileAttributesW((installFolder + name).c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
    }
    // Runs the driver on the archive, held as the road says.
    gCResult Install(const Bytes& archive)
    {
        gCFile file;
        gCMemFile memory;
        gCStream* stream = nullptr;
        QV_RETURN_IF_FAILED(Open(archive, file, memory, stream));
        return desquasher.DesquashAndInstall(*stream);
    }
    // The container read and its stream parsed: the result of the first step that fails.
    gCResult Parse(const Bytes& archive)
    {
        gCFile file;
        gCMemFile memory;
        gCStream* stream = nullptr;
        QV_RETURN_IF_FAILED(Open(archive, file, memory, stream));
        QV_RETURN_IF_FAILED(desquasher.ReadArchiveFile(*stream));
        return desquasher.ParseUpdateArchive();
    }

    // How the archive reaches the installer: a file (dropped on the window, or the slave's
    // record), or the received body in memory.
    enum class Road { File, Memory };
    Road road = Road::File;

    TempFolder temp;
    std::wstring installFolder;
    std::wstring programFolder;
    FakeHost app;
    RecordingHost host;
    gCStringTable table;
    CQVUDesquasher desquasher;

private:
    gCResult Open(const Bytes& archive, gCFile& file, gCMemFile& memory, gCStream*& stream)
    {
        if (road == Road::Memory) {
            stream = &memory;
            return archive.empty() ? kOk : memory.WriteBytes(archive.data(), static_cast<uint32_t>(archive.size()));
        }
        stream = &file;
        WriteWholeFile(temp.File(L"update.qvu"), archive);
        return file.OpenFullPath(temp.File(L"update.qvu"), kAccessRead);
    }
};

// The installation the installer tests start from, and an update of it.
const FileTree kOriginal = {
    {L"app.exe", Ansi("old program")},    {L"readme.txt", Ansi("old readme")}, {L"data\\", {}},
    {L"data\\table.dat", Bytes(5000, 3)}, {L"keep.cfg", Ansi("untouched")},
};
const FileTree kUpdate = {
    {L"app.exe", Ansi("new program, longer than before")},
    {L"readme.txt", Ansi("")},
    {L"data\\table.dat", Bytes(7000, 4)},
    {L"plugins\\brushes\\soft.brush", Ansi("a new file in new folders")},
};
// The original with the update's files over it, in the folders they need.
const FileTree kUpdated = [] {
    FileTree tree = kOriginal;
    for (const auto& item : kUpdate)
        tree[item.first] = item.second;
    tree[L"plugins\\"] = tree[L"plugins\\brushes\\"] = Bytes();
    return tree;
}();

inline Bytes Archive(const std::wstring& script = L"OS=WIN32\rTYPE=full")
{
    return PackArchive(Entries(kUpdate), script);
}
