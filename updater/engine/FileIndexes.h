// The index on its volume and the length of every file in the folders of an installation, each
// folder read in one pass: the run records them for the originals it will keep, and opening
// every file for its index costs many times more.
#pragma once
#include <cstdint>

#include "gCArray.h"
#include "gCString.h"
#include "gCStringArray.h"

class CFileIndexes {
public:
    // found false when the path's folder cannot be read or holds no file of the path's last
    // part, case aside. 0; 5 when memory runs out.
    gCResult Find(const gCString& path, uint64_t& index, uint64_t& size, bool& found);

private:
    struct Entry {
        int32_t folder;
        int32_t nameStart; // in m_names
        int32_t nameLength;
        uint64_t index;
        uint64_t size;
    };
    // 0 also when the folder cannot be read; 5.
    gCResult Read(const wchar_t* folder, int32_t length);

    gCStringArray m_folders; // each with its last separator
    gCString m_names;        // every name read, one after another
    gCArray<Entry> m_entries;
};
