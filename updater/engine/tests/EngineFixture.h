// A program folder and an installation folder under a fresh temporary folder, an application
// whose folders point there, the updater's string table (text n reads "T<n>"), and helpers
// for files, archives and trees.
#pragma once
#include <map>
#include <string>

#include "CQVUDesquasher.h"
#include "FakeHost.h"
#include "QVUPacker.h"
#include "RecordingHost.h"
#include "TempFolder.h"
#include "gCFile.h"
#include "gCStringTable.h"

// Every file below a folder by relative name with its bytes, and every folder with a trailing
// '\\' and no bytes.
typedef std::map<std::wstring, Bytes> FileTree;

FileTree ReadTree(const std::wstring& folder);
void WriteTree(const std::wstring& folder, const FileTree& tree);
// The tree after installing the update over it, with the folders the update's files need.
FileTree Installed(const FileTree& tree, const FileTree& update);
std::vector<QVUPackEntry> Entries(const FileTree& tree);
Bytes Text8(const char* text);

class EngineFixture {
public:
    EngineFixture();

    // Writes the installation's files, the one named read-only.
    void Lay(const FileTree& tree, const wchar_t* readOnly);
    FileTree Tree() const { return ReadTree(installFolder); }
    bool ReadOnly(const wchar_t* name) const;
    // Writes the archive to a file and runs the driver on it.
    gCResult Install(const Bytes& archive);
    // The container read and its stream parsed: the result of the first step that fails.
    gCResult Parse(const Bytes& archive);

    TempFolder temp;
    std::wstring installFolder;
    std::wstring programFolder;
    FakeHost app;
    RecordingHost host;
    gCStringTable table;
    CQVUDesquasher desquasher;
};
