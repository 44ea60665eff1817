#include "QVUPacker.h"

#include <cstring>

#include "ArchiveFormat.h"

using namespace QVUArchive;

namespace {

const int kHashBits = 18;
const uint32_t kNoPosition = 0xFFFFFFFFu;
const uint32_t kMinMatch = 4;

size_t NumberSize(uint32_t value)
{
    size_t n = 1;
    while (value >>= 7)
        ++n;
    return n;
}

uint32_t Hash4(const uint8_t* p)
{
    uint32_t v;
    std::memcpy(&v, p, 4);
    return (v * 2654435761u) >> (32 - kHashBits);
}

uint8_t LeastUsedByte(const uint8_t* data, size_t size)
{
    size_t counts[256] = {};
    for (size_t i = 0; i < size; ++i)
        ++counts[data[i]];
    int best = 0;
    for (int b = 1; b < 256; ++b)
        if (counts[b] < counts[best])
            best = b;
    return static_cast<uint8_t>(best);
}

void PutU16(QVUBytes& out, uint16_t value)
{
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void PutTags(QVUBytes& out, uint32_t a, uint32_t b)
{
    PutU32(out, a);
    PutU32(out, b);
}

void PutZeros(QVUBytes& out, size_t n)
{
    out.insert(out.end(), n, 0);
}

} // namespace

void PutNumber(QVUBytes& out, uint32_t value)
{
    uint8_t groups[5];
    int n = 0;
    do {
        groups[n++] = static_cast<uint8_t>(value & 0x7F);
        value >>= 7;
    } while (value != 0);
    while (n > 1)
        out.push_back(static_cast<uint8_t>(groups[--n] | 0x80));
    out.push_back(groups[0]);
}

void PutU32(QVUBytes& out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void PutU64(QVUBytes& out, uint64_t value)
{
    PutU32(out, static_cast<uint32_t>(value));
    PutU32(out, static_cast<uint32_t>(value >> 32));
}

void PokeU32(QVUBytes& bytes, size_t offset, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t PeekU32(const QVUBytes& bytes, size_t offset)
{
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | bytes[offset + i];
    return v;
}

QVUBytes CompressBlock(const uint8_t* data, size_t size, int escapeByte)
{
    const uint8_t escape = escapeByte >= 0 ? static_cast<uint8_t>(escapeByte) : LeastUsedByte(data, size);
    QVUBytes out;
    out.reserve(size + size / 8 + 16);
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(static_cast<uint32_t>(size) >> shift));
    out.push_back(escape);

    // Greedy matching against the last position seen with the same four bytes.
    std::vector<uint32_t> last(size_t(1) << kHashBits, kNoPosition);
    size_t i = 0;
    while (i < size) {
        uint32_t length = 0;
        uint32_t distance = 0;
        if (i + kMinMatch <= size) {
            uint32_t h = Hash4(data + i);
            uint32_t candidate = last[h];
            last[h] = static_cast<uint32_t>(i);
            if (candidate != kNoPosition) {
                size_t n = 0;
                const size_t most = size - i;
                while (n < most && data[candidate + n] == data[i + n])
                    ++n;
                distance = static_cast<uint32_t>(i - candidate);
                if (n >= kMinMatch && 1 + NumberSize(static_cast<uint32_t>(n)) + NumberSize(distance) < n)
                    length = static_cast<uint32_t>(n);
            }
        }
        if (length == 0) {
            out.push_back(data[i]);
            if (data[i] == escape)
                out.push_back(0);
            ++i;
            continue;
        }
        out.push_back(escape);
        PutNumber(out, length);
        PutNumber(out, distance);
        for (size_t k = i + 1; k < i + length && k + kMinMatch <= size; ++k)
            last[Hash4(data + k)] = static_cast<uint32_t>(k);
        i += length;
    }
    return out;
}

QVUBytes BuildArchiveStream(const std::vector<QVUPackEntry>& entries, const std::wstring& script,
                            const QVUPackOptions& options)
{
    std::vector<uint16_t> units;
    units.push_back(0xFEFF);
    for (wchar_t c : script)
        units.push_back(static_cast<uint16_t>(c));

    QVUBytes table;
    PutU32(table, static_cast<uint32_t>(entries.size()));
    for (const QVUPackEntry& e : entries) {
        PutU64(table, e.data.size());
        PutTags(table, kEntryTag1, kEntryTag2);
        for (wchar_t c : e.name)
            PutU16(table, static_cast<uint16_t>(c));
        PutU16(table, 0);
        PutTags(table, kEntryTag1, kEntryTag2);
    }

    QVUBytes out;
    PutTags(out, kArchiveMagic1, kArchiveMagic2);
    PutU32(out, options.version);
    PutU32(out, static_cast<uint32_t>(table.size()));
    PutU32(out, static_cast<uint32_t>(units.size()));
    for (uint16_t u : units) {
        if (options.bigEndianScript)
            u = static_cast<uint16_t>((u >> 8) | (u << 8));
        PutU16(out, u);
    }
    PutZeros(out, 4);
    PutTags(out, kTableTag1, kTableTag2);
    out.insert(out.end(), table.begin(), table.end());
    PutZeros(out, kRecordsGap);

    for (size_t i = 0; i < entries.size(); ++i) {
        PutTags(out, kEntryTag1, kEntryTag2);
        PutU32(out, static_cast<uint32_t>(i));
        PutTags(out, kEntryTag1, kEntryTag2);
        PutU64(out, entries[i].data.size());
        PutTags(out, kEntryTag1, kEntryTag2);
        PutZeros(out, 4 + 4 + 2);
        PutTags(out, kEntryTag1, kEntryTag2);
        out.insert(out.end(), entries[i].data.begin(), entries[i].data.end());
        PutTags(out, kTableTag1, kTableTag2);
    }
    return out;
}

QVUBytes WrapContainer(const QVUBytes& block)
{
    QVUBytes out;
    out.reserve(block.size() + kContainerOverhead);
    PutTags(out, kContainerMagic1, kContainerMagic2);
    PutU32(out, kContainerFormat);
    out.insert(out.end(), block.begin(), block.end());
    PutTags(out, kContainerMagic1, kContainerMagic2);
    return out;
}

QVUBytes PackArchive(const std::vector<QVUPackEntry>& entries, const std::wstring& script,
                     const QVUPackOptions& options)
{
    QVUBytes stream = BuildArchiveStream(entries, script, options);
    return WrapContainer(CompressBlock(stream.data(), stream.size(), options.escapeByte));
}
