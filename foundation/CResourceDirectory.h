// The resource file's directory, read once: for every resource chunk its ID, the file offset
// of its tag and its name; and the file format version from the 'vers' chunk. It owns its
// entries.
#pragma once
#include <cstdint>

#include "gCArray.h"
#include "gCStream.h"

struct CResourceDirEntry {
    uint32_t id = 0;
    uint32_t offset = 0;
    gCString name;
};

class CResourceDirectory {
public:
    CResourceDirectory() = default;
    ~CResourceDirectory() { Clear(); }
    CResourceDirectory(const CResourceDirectory&) = delete;
    CResourceDirectory& operator=(const CResourceDirectory&) = delete;

    // Replaces the entries with those of an open resource file or its image in memory (6 for
    // any other stream). A failing read leaves the entries read before it.
    gCResult Read(gCStream& stream);
    // The offset of the first entry with that ID or exact name, -1 when there is none.
    int32_t FindByID(uint32_t id) const;
    int32_t FindByName(const gCString& name) const;
    void Clear();

    int32_t GetCount() const { return m_entries.Count(); }
    const CResourceDirEntry& GetEntry(int32_t index) const { return *m_entries[index]; }
    uint32_t GetVersion() const { return m_version; }

private:
    gCArray<CResourceDirEntry*> m_entries;
    // A file without a 'vers' chunk is read as the first format.
    uint32_t m_version = 1;
};
