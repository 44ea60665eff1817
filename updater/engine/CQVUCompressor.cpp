#include "CQVUCompressor.h"

#include <cstring>

namespace {

// Base-128, most significant group first; bits above 31 fall off. False when the block ends
// inside the number.
bool ReadNumber(const uint8_t* in, uint32_t count, uint32_t& pos, uint32_t& value)
{
    value = 0;
    while (pos < count) {
        uint8_t b = in[pos++];
        value = (value << 7) | (b & 0x7Fu);
        if ((b & 0x80u) == 0)
            return true;
    }
    return false;
}

} // namespace

gCResult CQVUCompressor::Decompress(const CMemBlockT<char>& block, CMemBlockT<char>& output)
{
    output.Free();
    if (block.Count() < 4)
        return kInvalidFile;
    const uint8_t* p = reinterpret_cast<const uint8_t*>(block.Data());
    uint32_t size = (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
    if (size == 0)
        return kOk;
    if (size > 0x7FFFFFFFu || output.Resize(static_cast<int32_t>(size)) != 0) {
        output.Free();
        return kOutOfMemory;
    }
    std::memset(output.Data(), 0, size);
    return DecodeTokens(p + 4, static_cast<uint32_t>(block.Count()) - 4, reinterpret_cast<uint8_t*>(output.Data()),
                        size);
}

gCResult CQVUCompressor::DecodeTokens(const uint8_t* in, uint32_t count, uint8_t* out, uint32_t outputSize)
{
    if (count == 0)
        return kOk;
    const uint8_t escape = in[0];
    uint32_t r = 1;
    uint32_t w = 0;
    while (r < count) {
        uint8_t b = in[r++];
        if (b != escape || (r < count && in[r] == 0)) {
            if (b == escape)
                ++r; // the 0x00 of an escaped literal
            if (w >= outputSize)
                return kInvalidFile;
            out[w++] = b;
            continue;
        }
        uint32_t length = 0;
        uint32_t distance = 0;
        if (!ReadNumber(in, count, r, length) || !ReadNumber(in, count, r, distance))
            return kInvalidFile;
        if (length == 0)
            continue;
        if (distance > w || length > outputSize - w)
            return kInvalidFile;
        uint8_t* dst = out + w;
        const uint8_t* src = dst - distance;
        if (distance >= length) {
            std::memcpy(dst, src, length);
        } else if (distance != 0) {
            // Overlapping: the bytes just written are read again, so the last D bytes repeat.
            for (uint32_t i = 0; i < length; ++i)
                dst[i] = src[i];
        }
        // distance 0 reads each byte where it is written: it keeps the zero of the fill.
        w += length;
    }
    return kOk;
}
