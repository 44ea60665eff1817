#include "CQVUCompressor.h"

#include <emmintrin.h>

#include <cstring>

namespace {

// The widest block move. A block store may run up to this many bytes past the byte it needs
// to write, never past the output's end; the decoder gives those bytes back their zero when
// it stops.
const uint32_t kChunk = 16;

// Usual copies taken in a row between two looks at the ends of input and output.
const int kUsualRun = 4;

inline void MoveChunk(uint8_t* to, const uint8_t* from)
{
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to), _mm_loadu_si128(reinterpret_cast<const __m128i*>(from)));
}

inline void MoveHalfChunk(uint8_t* to, const uint8_t* from)
{
    _mm_storel_epi64(reinterpret_cast<__m128i*>(to), _mm_loadl_epi64(reinterpret_cast<const __m128i*>(from)));
}

// Fills a chunk at to with the bytes from distance (1 to 7) back repeated. The first four go
// one at a time; then each step takes its source a whole number of periods back, far enough
// that it reads only bytes already written.
inline void RepeatShortPeriod(uint8_t* to, uint32_t distance)
{
    // The smallest multiple of the distance that is at least 4, and at least 8.
    static const uint8_t kPeriodsOf4[8] = {0, 4, 4, 6, 4, 5, 6, 7};
    static const uint8_t kPeriodsOf8[8] = {0, 8, 8, 9, 8, 10, 12, 14};
    const uint8_t* from = to - distance;
    to[0] = from[0];
    to[1] = from[1];
    to[2] = from[2];
    to[3] = from[3];
    uint32_t four;
    std::memcpy(&four, to + 4 - kPeriodsOf4[distance], 4);
    std::memcpy(to + 4, &four, 4);
    MoveHalfChunk(to + 8, to + 8 - kPeriodsOf8[distance]);
}

// Fills two chunks at to with the bytes from distance (1 to 15) back repeated. The second
// chunk takes its source a whole number of periods back, at least a chunk, within the first.
inline void RepeatShortDistance(uint8_t* to, uint32_t distance)
{
    // The smallest multiple of the distance that is at least 16.
    static const uint8_t kPeriodsOf16[16] = {0, 16, 16, 18, 16, 20, 18, 21, 16, 18, 20, 22, 24, 26, 28, 30};
    if (distance >= kChunk / 2) {
        MoveHalfChunk(to, to - distance);
        MoveHalfChunk(to + kChunk / 2, to + kChunk / 2 - distance);
    } else {
        RepeatShortPeriod(to, distance);
    }
    MoveChunk(to + kChunk, to + kChunk - kPeriodsOf16[distance]);
}

// Base-128, most significant group first; bits above 31 fall off. False when the block ends
// inside the number.
inline bool ReadNumber(const uint8_t* in, uint32_t count, uint32_t& pos, uint32_t& value)
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

// The numbers of one or two bytes that nearly every copy has, read where the block surely
// holds them; p is at the byte before the number and moves to its last byte. False, with p
// unchanged, for a longer number.
inline bool ShortNumber(const uint8_t*& p, uint32_t& value)
{
    uint32_t b = p[1];
    if (b < 0x80) {
        value = b;
        p += 1;
        return true;
    }
    uint32_t c = p[2];
    if (c < 0x80) {
        value = ((b & 0x7Fu) << 7) | c;
        p += 2;
        return true;
    }
    return false;
}

// One pass over the tokens. Literal runs are found a chunk at a time and moved whole; copies
// move in chunks, whole when they do not meet their source, else once source and destination
// lie a chunk apart. Near either end the same tokens are taken a byte at a time, with every
// bound checked.
class TokenDecoder {
public:
    TokenDecoder(const uint8_t* in, uint32_t count, uint8_t* out, uint32_t outputSize)
        : m_in(in), m_count(count), m_out(out), m_size(outputSize), m_escape(in[0])
    {
    }

    gCResult Run()
    {
        if (!Bulk())
            return kInvalidFile;
        while (m_r < m_count) {
            if (m_in[m_r] != m_escape) {
                if (!Literals())
                    return kInvalidFile;
                continue;
            }
            ++m_r;
            if (m_r < m_count && m_in[m_r] == 0) {
                ++m_r;
                if (m_w >= m_size)
                    return kInvalidFile;
                m_out[m_w++] = m_escape;
                continue;
            }
            uint32_t length = 0;
            uint32_t distance = 0;
            if (!ReadNumber(m_in, m_count, m_r, length) || !ReadNumber(m_in, m_count, m_r, distance))
                return kInvalidFile;
            if (length == 0)
                continue;
            if (distance > m_w || length > m_size - m_w)
                return kInvalidFile;
            Copy(length, distance);
        }
        return kOk;
    }

    // Bytes no token reached, and those a block store wrote ahead, hold zero.
    void ZeroTheRest() { std::memset(m_out + m_w, 0, m_size - m_w); }

private:
    // The tokens that lie a margin away from both ends, where a token's bytes and a chunk's
    // store need no check of their own. Stops at the margin, or false at a token that breaks a
    // bound.
    bool Bulk()
    {
        const uint32_t margin = (kUsualRun + 1) * 2 * kChunk;
        if (m_count < margin || m_size < margin)
            return true;
        const uint8_t escapeByte = m_escape;
        const __m128i escape = _mm_set1_epi8(static_cast<char>(escapeByte));
        const uint8_t* ip = m_in + m_r;
        const uint8_t* const lastRead = m_in + (m_count - margin);
        uint8_t* op = m_out + m_w;
        uint8_t* const lastWrite = m_out + (m_size - margin);
        // The usual copy: a length of one byte up to two chunks, a distance of one or two
        // bytes. It reads at most four token bytes and writes two chunks.
        auto usualCopy = [&]() -> bool {
            if (*ip != escapeByte)
                return false;
            const uint32_t length = ip[1];
            if (length - 1 >= 2 * kChunk)
                return false;
            // Both forms of the distance are read, and one is taken without a branch.
            const uint32_t d0 = ip[2];
            const uint32_t d1 = ip[3];
            const uint32_t wide = d0 >> 7;
            const uint32_t pick = 0u - wide;
            const uint32_t distance = (d0 & ~pick) | ((((d0 & 0x7Fu) << 7) | d1) & pick);
            const uint32_t numbers = 2 + wide;
            if ((wide & (d1 >> 7)) != 0 || distance - 1 >= static_cast<uint32_t>(op - m_out))
                return false;
            const uint8_t* from = op - distance;
            if (length <= distance) {
                // Source and copy do not meet: both chunks are read before either is stored.
                const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
                const __m128i second = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + kChunk));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(op), first);
                _mm_storeu_si128(reinterpret_cast<__m128i*>(op + kChunk), second);
            } else if (distance >= kChunk) {
                MoveChunk(op, from);
                MoveChunk(op + kChunk, from + kChunk);
            } else {
                RepeatShortDistance(op, distance);
            }
            op += length;
            ip += 1 + numbers;
            return true;
        };
        bool good = true;
        while (ip <= lastRead && op <= lastWrite) {
            // A few usual copies in a row need no look at the ends between them: the margin
            // holds them all, and the token after them.
            int usual = 0;
            while (usual < kUsualRun && usualCopy())
                ++usual;
            if (usual == kUsualRun)
                continue;
            if (*ip != escapeByte) {
                // Literals up to the next escape byte, a chunk at a time.
                do {
                    __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(ip));
                    _mm_storeu_si128(reinterpret_cast<__m128i*>(op), bytes);
                    unsigned found = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, escape)));
                    if (found != 0) {
                        unsigned n = static_cast<unsigned>(__builtin_ctz(found));
                        ip += n;
                        op += n;
                        break;
                    }
                    ip += kChunk;
                    op += kChunk;
                } while (ip <= lastRead && op <= lastWrite);
                continue;
            }
            // At the escape byte, with at least a chunk of tokens and of output left.
            uint32_t length = ip[1];
            if (length == 0) {
                *op++ = escapeByte;
                ip += 2;
                continue;
            }
            uint32_t distance = 0;
            const uint8_t* last = ip;
            if (ShortNumber(last, length) && ShortNumber(last, distance)) {
                ip = last + 1;
            } else {
                uint32_t r = static_cast<uint32_t>(ip - m_in) + 1;
                good = ReadNumber(m_in, m_count, r, length) && ReadNumber(m_in, m_count, r, distance);
                ip = m_in + r;
                if (!good)
                    break;
            }
            const uint32_t written = static_cast<uint32_t>(op - m_out);
            if (distance > written || length > m_size - written) {
                if (length == 0)
                    continue; // appends nothing, so reads nothing
                good = false;
                break;
            }
            if (length <= 2 * kChunk && distance >= kChunk) {
                // Two chunks at most, within the margin; what they write past the copy is
                // written over later.
                const uint8_t* from = op - distance;
                MoveChunk(op, from);
                if (length > kChunk)
                    MoveChunk(op + kChunk, from + kChunk);
                op += length;
                continue;
            }
            m_w = written;
            Copy(length, distance);
            op = m_out + m_w;
        }
        m_r = static_cast<uint32_t>(ip - m_in);
        m_w = static_cast<uint32_t>(op - m_out);
        return good;
    }

    // The run of literals at the read position, up to the next escape byte or the end.
    bool Literals()
    {
        const __m128i escape = _mm_set1_epi8(static_cast<char>(m_escape));
        while (m_r + kChunk <= m_count && m_w + kChunk <= m_size) {
            __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(m_in + m_r));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(m_out + m_w), bytes);
            unsigned found = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, escape)));
            if (found != 0) {
                unsigned n = static_cast<unsigned>(__builtin_ctz(found));
                m_r += n;
                m_w += n;
                return true;
            }
            m_r += kChunk;
            m_w += kChunk;
        }
        while (m_r < m_count && m_in[m_r] != m_escape) {
            if (m_w >= m_size)
                return false;
            m_out[m_w++] = m_in[m_r++];
        }
        return true;
    }

    // Appends length bytes from distance back; the caller checked both against the output.
    void Copy(uint32_t length, uint32_t distance)
    {
        uint8_t* to = m_out + m_w;
        m_w += length;
        if (distance == 0) {
            // Each byte would be read where it is written, which no token has reached yet.
            std::memset(to, 0, length);
            return;
        }
        const uint8_t* from = to - distance;
        uint8_t* const end = to + length;
        if (distance < kChunk) {
            // A short distance repeats its last bytes: copy whole periods until source and
            // destination lie a chunk apart (any multiple of the distance repeats the same).
            while (to < end && to - from < static_cast<ptrdiff_t>(kChunk)) {
                ptrdiff_t n = to - from;
                if (n > end - to)
                    n = end - to;
                for (ptrdiff_t i = 0; i < n; ++i)
                    to[i] = from[i];
                to += n;
            }
        }
        if (m_w + kChunk <= m_size) {
            // Room for a whole last chunk: no tail to take apart.
            for (; to < end; to += kChunk, from += kChunk)
                MoveChunk(to, from);
            return;
        }
        for (; end - to >= static_cast<ptrdiff_t>(kChunk); to += kChunk, from += kChunk)
            MoveChunk(to, from);
        while (to < end)
            *to++ = *from++;
    }

    const uint8_t* m_in;
    uint32_t m_count;
    uint8_t* m_out;
    uint32_t m_size;
    uint8_t m_escape;
    uint32_t m_r = 1;
    uint32_t m_w = 0;
};

} // namespace

gCResult CQVUCompressor::Decompress(const CMemBlockT<char>& block, CMemBlockT<char>& output)
{
    return Decompress(reinterpret_cast<const uint8_t*>(block.Data()), static_cast<uint32_t>(block.Count()), output);
}

gCResult CQVUCompressor::Decompress(const uint8_t* block, uint32_t count, CMemBlockT<char>& output)
{
    output.Free();
    if (count < 4)
        return kInvalidFile;
    const uint8_t* p = block;
    const uint32_t size = (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
    if (size == 0)
        return kOk;
    if (size > 0x7FFFFFFFu || output.Resize(static_cast<int32_t>(size)) != kOk) {
        output.Free();
        return kOutOfMemory;
    }
    return DecodeTokens(p + 4, count - 4, reinterpret_cast<uint8_t*>(output.Data()), size);
}

gCResult CQVUCompressor::DecodeTokens(const uint8_t* in, uint32_t count, uint8_t* out, uint32_t outputSize)
{
    if (count == 0) {
        std::memset(out, 0, outputSize);
        return kOk;
    }
    TokenDecoder decoder(in, count, out, outputSize);
    gCResult result = decoder.Run();
    decoder.ZeroTheRest();
    return result;
}
