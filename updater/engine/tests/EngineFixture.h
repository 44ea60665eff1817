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

typedef std::map<std::wstring, Bytes> FileTree;

// Loads the updater's localised texts "T0".."T99" at the host's block offset.
bool LoadLocalTexts(gCStringTable& table, const gCString& vsfPath, uint32_t blockOffset);

// Every file below the folder, by relative name, with its bytes.
FileTree ReadTree(const std::wstring& folder);
void WriteTree(const std::wstring& folder, const FileTree& tree);
void MakeFolders(const std::wstring& folder, const std::wstring& relativeFile);
// The tree after installing the update over it: the update's files, and the folders they need
// that the tree lacked (as ReadTree lists folders, with a trailing '\\').
FileTree Installed(const FileTree& tree, const FileTree& update);

class EngineFixture {
public:
    EngineFixture();
    ~EngineFixture();

    // Writes the archive to a file and runs the driver on it.
    gCResult Install(const Bytes& archive);
    gCResult Install(const Bytes& archive, CQVUDesquasher& desquasher);
    // The container's stream read and parsed: the result of the first step that fails.
    gCResult Parse(const Bytes& archive);

    std::wstring installFolder;
    std::wstring programFolder;
    TempFolder temp;
    FakeHost app;
    RecordingHost host;
    gCStringTable table;
    CQVUDesquasher desquasher;
};

std::vector<QVUPackEntry> Entries(const FileTree& tree);
Bytes Text8(const char* text);
