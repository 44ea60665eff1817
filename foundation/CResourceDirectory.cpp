#include "CResourceDirectory.h"

#include <memory>
#include <new>

#include "RecordText.h"
#include "ResourceTags.h"

void CResourceDirectory::Clear()
{
    for (int32_t i = 0; i < m_entries.Count(); ++i)
        delete m_entries[i];
    m_entries.Release();
}

// Each chunk's end is computed in 64 bits and cut at the end of the file, so every chunk
// moves the read on by at least its header and the loop ends.
gCResult CResourceDirectory::Read(gCStream& stream)
{
    if (!ReadsAsFile(&stream))
        return kBadParameter;
    Clear();
    // A file without a 'vers' chunk is of version 1, whatever was read before.
    m_version = 1;
    QV_RETURN_IF_FAILED(stream.Rewind());
    const int64_t length = stream.GetLength();
    while (!stream.IsAtEnd()) {
        std::unique_ptr<CResourceDirEntry> entry(new (std::nothrow) CResourceDirEntry);
        if (!entry)
            return kOutOfMemory;
        int64_t chunk = stream.Tell();
        entry->offset = static_cast<uint32_t>(chunk);
        uint32_t tag = 0, size = 0;
        QV_RETURN_IF_FAILED(stream.ReadU32(tag));
        QV_RETURN_IF_FAILED(stream.ReadU32(size));
        if (tag == kTagVersion) {
            QV_RETURN_IF_FAILED(stream.ReadU32(m_version));
        } else {
            QV_RETURN_IF_FAILED(stream.ReadU32(entry->id));
            QV_RETURN_IF_FAILED(ReadRecordText(stream, entry->name));
            // An entry without room in the array is dropped; the rest of the file still counts.
            if (m_entries.Add(entry.get()) == kOk)
                entry.release();
        }
        int64_t next = chunk + 8 + static_cast<int64_t>(size);
        QV_RETURN_IF_FAILED(stream.SetPosition(next < length ? next : length));
    }
    return kOk;
}

int32_t CResourceDirectory::FindByID(uint32_t id) const
{
    for (int32_t i = 0; i < m_entries.Count(); ++i)
        if (m_entries[i]->id == id)
            return static_cast<int32_t>(m_entries[i]->offset);
    return -1;
}

int32_t CResourceDirectory::FindByName(const gCString& name) const
{
    for (int32_t i = 0; i < m_entries.Count(); ++i)
        if (m_entries[i]->name == name)
            return static_cast<int32_t>(m_entries[i]->offset);
    return -1;
}
