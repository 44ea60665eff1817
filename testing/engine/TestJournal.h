// Installation journals written by hand, for the tests of what a start does with a journal
// that names what no run did: the journal's own layout, sealed with its checksums.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Checksum.h"
#include "TempFolder.h"

namespace TestJournal {

const uint32_t kWritten = 0x574A5651;
const uint32_t kBack = 0x424A5651;
const uint32_t kDone = 0x444A5651;
const uint8_t kExisted = 1;
const uint8_t kMadeWritable = 2;

struct Entry {
    std::wstring name; // below the installation folder
    uint8_t flags = 0;
    uint64_t newSize = 0;
    uint32_t newCrc = 0;
    uint64_t oldSize = 0;
    uint32_t oldCrc = 0;
    uint64_t index = 0;
    uint8_t by = 0; // 1 checksum, 2 identity
};

inline void Put(Bytes& out, uint64_t value, int n)
{
    for (int k = 0; k < n; ++k)
        out.push_back(static_cast<uint8_t>(value >> (8 * k)));
}

// A new file of these bytes.
inline Entry NewFile(const std::wstring& name, const Bytes& bytes)
{
    Entry entry;
    entry.name = name;
    entry.newSize = bytes.size();
    entry.newCrc = Crc32(0, bytes.data(), bytes.size());
    return entry;
}

// The file at the path as the original of the entry's target, by its identity.
inline void OriginalIs(Entry& entry, const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), 0, 7, nullptr, OPEN_EXISTING, 0, nullptr);
    BY_HANDLE_FILE_INFORMATION info = {};
    GetFileInformationByHandle(file, &info);
    CloseHandle(file);
    entry.flags |= kExisted;
    entry.oldSize = (uint64_t(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    entry.index = (uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    entry.by = 2;
}

inline Bytes Seal(const std::vector<Entry>& entries, const std::vector<uint32_t>& marks)
{
    Bytes body;
    FILETIME now = {};
    GetSystemTimeAsFileTime(&now);
    Put(body, (uint64_t(now.dwHighDateTime) << 32) | now.dwLowDateTime, 8);
    Put(body, entries.size(), 4);
    for (const Entry& e : entries) {
        Put(body, e.flags, 1);
        Put(body, e.name.size(), 4);
        for (wchar_t c : e.name)
            Put(body, static_cast<uint16_t>(c), 2);
        Put(body, e.newSize, 8);
        Put(body, e.newCrc, 4);
        if (e.flags & kExisted) {
            Put(body, e.oldSize, 8);
            Put(body, e.oldCrc, 4);
            Put(body, e.index, 8);
            Put(body, e.by, 1);
        }
    }
    Put(body, 0, 4); // no folders made
    Bytes journal;
    Put(journal, 0x324A5651, 4);
    Put(journal, body.size(), 4);
    journal.insert(journal.end(), body.begin(), body.end());
    const uint32_t crc = Crc32(0, journal.data(), journal.size());
    Put(journal, crc, 4);
    for (uint32_t mark : marks) {
        Put(journal, mark, 4);
        Put(journal, Crc32(crc, &mark, 4), 4);
    }
    return journal;
}

} // namespace TestJournal
