#include <gtest/gtest.h>

#include "ResultAssert.h"

#include <random>
#include <vector>

#include "CQVUCompressor.h"
#include "GuardedAllocator.h"
#include "GuardedBuffer.h"
#include "QVUPacker.h"

namespace {

typedef std::vector<uint8_t> Bytes;

Bytes Block(uint32_t size, const Bytes& tokens)
{
    Bytes b;
    b.reserve(4 + tokens.size());
    for (int shift = 24; shift >= 0; shift -= 8)
        b.push_back(static_cast<uint8_t>(size >> shift));
    for (uint8_t t : tokens)
        b.push_back(t);
    return b;
}

// Decompress through the memory hooks with every block placed before a guard page.
gCResult DecompressGuarded(const Bytes& block, Bytes& out)
{
    gCResult r;
    {
        GuardedAllocator guard;
        CMemBlockT<char> in;
        CMemBlockT<char> output;
        if (in.Resize(static_cast<int32_t>(block.size())) != 0)
            return -1;
        in.CopyFrom(reinterpret_cast<const char*>(block.data()), static_cast<int32_t>(block.size()));
        r = CQVUCompressor().Decompress(in, output);
        out.assign(output.Data(), output.Data() + output.Count());
        output.Free();
        in.Free();
    }
    return r;
}

// Decodes with the tokens against a guard page and the output first against the guard after
// it, then against the guard before it; both runs must agree.
gCResult DecodeGuarded(const Bytes& tokens, uint32_t outputSize, Bytes& out)
{
    GuardedBuffer in(tokens);
    GuardedBuffer tail(outputSize);
    GuardedBuffer head(outputSize);
    std::memset(tail.AtEnd(), 0, outputSize);
    std::memset(head.AtStart(), 0, outputSize);
    gCResult a =
        CQVUCompressor::DecodeTokens(in.AtEnd(), static_cast<uint32_t>(tokens.size()), tail.AtEnd(), outputSize);
    gCResult b =
        CQVUCompressor::DecodeTokens(in.AtEnd(), static_cast<uint32_t>(tokens.size()), head.AtStart(), outputSize);
    out.assign(tail.AtEnd(), tail.AtEnd() + outputSize);
    Bytes other(head.AtStart(), head.AtStart() + outputSize);
    return a == b && out == other ? a : gCResult(-1);
}

struct DecodeCase {
    const char* what;
    Bytes block;
    gCResult result;
    Bytes output;
};

TEST(Decompress, DecodesTokensAndKeepsTheFillWhereNoTokenReached)
{
    const DecodeCase cases[] = {
        {"size 0 leaves the output empty", Block(0, {}), 0, {}},
        {"short stream keeps zeros", Block(5, {0xE5, 0x61, 0x62}), 0, {0x61, 0x62, 0, 0, 0}},
        {"escaped literal 0xFF", Block(1, {0xFF, 0xFF, 0x00}), 0, {0xFF}},
        {"escaped literal with escape 0", Block(1, {0x00, 0x00, 0x00}), 0, {0x00}},
        {"copy with escape 0", Block(4, {0x00, 0x61, 0x62, 0x00, 0x02, 0x02}), 0, {0x61, 0x62, 0x61, 0x62}},
        {"overlapping copy repeats",
         Block(8, {0xE5, 0x61, 0x62, 0xE5, 0x06, 0x02}),
         0,
         {0x61, 0x62, 0x61, 0x62, 0x61, 0x62, 0x61, 0x62}},
        {"length 0 written long consumes both numbers",
         Block(2, {0xE5, 0x61, 0xE5, 0x80, 0x00, 0x01, 0x62}),
         0,
         {0x61, 0x62}},
        {"distance 0 copies the fill", Block(4, {0xE5, 0x61, 0xE5, 0x02, 0x00, 0x62}), 0, {0x61, 0, 0, 0x62}},
        {"five-byte length keeps the low 32 bits",
         Block(4, {0xE5, 0x61, 0x62, 0xE5, 0x90, 0x80, 0x80, 0x80, 0x02, 0x02}),
         0,
         {0x61, 0x62, 0x61, 0x62}},
        {"two-byte numbers", Block(300, {0xE5, 0x61, 0xE5, 0x82, 0x2B, 0x01}), 0, Bytes(300, 0x61)},
        {"non-overlapping copy", Block(6, {0xE5, 1, 2, 3, 0xE5, 3, 3}), 0, {1, 2, 3, 1, 2, 3}},
    };
    for (const DecodeCase& c : cases) {
        Bytes out;
        EXPECT_EQ(c.result, DecompressGuarded(c.block, out)) << c.what;
        EXPECT_EQ(c.output, out) << c.what;
    }
}

TEST(Decompress, BlockTooShortForTheSizeFailsWithoutReadingIt)
{
    for (size_t n = 0; n < 4; ++n) {
        Bytes out = {1};
        EXPECT_RESULT(DecompressGuarded(Bytes(n, 0), out), kInvalidFile) << n;
        EXPECT_TRUE(out.empty());
    }
}

TEST(Decompress, UnallocatableOutputFailsWithOutOfMemoryAndStaysEmpty)
{
    CMemBlockT<char> in;
    ASSERT_OK(in.Resize(5));
    const char bytes[] = {char(0xFF), char(0xFF), char(0xFF), char(0xF0), 0x01};
    in.CopyFrom(bytes, 5);
    CMemBlockT<char> out;
    EXPECT_RESULT(CQVUCompressor().Decompress(in, out), kOutOfMemory);
    EXPECT_EQ(out.Count(), 0);
    EXPECT_EQ(nullptr, out.Data());
}

TEST(DecodeTokens, MalformedStreamsStopInsideTheirBounds)
{
    const struct {
        const char* what;
        Bytes tokens;
        uint32_t size;
        Bytes kept;
    } cases[] = {
        {"escape as the last byte", {0xE5, 0x61, 0xE5}, 2, {0x61, 0}},
        {"length cut off", {0xE5, 0x61, 0xE5, 0x81}, 2, {0x61, 0}},
        {"distance missing", {0xE5, 0x61, 0xE5, 0x01}, 2, {0x61, 0}},
        {"distance cut off", {0xE5, 0x61, 0xE5, 0x01, 0x80}, 2, {0x61, 0}},
        {"literal past the size", {0xE5, 0x61, 0x62, 0x63}, 2, {0x61, 0x62}},
        {"escaped literal past the size", {0xE5, 0x61, 0xE5, 0x00}, 1, {0x61}},
        {"copy past the size", {0xE5, 0x61, 0xE5, 0x05, 0x01}, 4, {0x61, 0, 0, 0}},
        {"huge copy past the size", {0xE5, 0x61, 0xE5, 0x8F, 0xFF, 0xFF, 0xFF, 0x7F, 0x01}, 4, {0x61, 0, 0, 0}},
        {"distance beyond the output", {0xE5, 0x61, 0xE5, 0x02, 0x02}, 8, {0x61, 0, 0, 0, 0, 0, 0, 0}},
        {"copy before any output", {0xE5, 0xE5, 0x01, 0x01}, 8, Bytes(8, 0)},
        {"distance near 2^32", {0xE5, 0x61, 0xE5, 0x01, 0x8F, 0xFF, 0xFF, 0xFF, 0x7F}, 4, {0x61, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        Bytes out;
        EXPECT_RESULT(DecodeGuarded(c.tokens, c.size, out), kInvalidFile) << c.what;
        EXPECT_EQ(c.kept, out) << c.what;
    }
}

Bytes RandomBytes(std::mt19937& rng, size_t n)
{
    Bytes b(n);
    for (uint8_t& x : b)
        x = static_cast<uint8_t>(rng());
    return b;
}

TEST(DecodeTokens, RoundTripsThroughThePacker)
{
    std::mt19937 rng(1234);
    Bytes repetitive;
    for (int i = 0; i < 40000; ++i)
        repetitive.push_back(static_cast<uint8_t>("update archive "[i % 15]));
    Bytes escapeHeavy = RandomBytes(rng, 30000);
    for (size_t i = 0; i < escapeHeavy.size(); i += 2)
        escapeHeavy[i] = 0xE5;
    Bytes runs(70000, 0);
    for (size_t i = 0; i < runs.size(); ++i)
        runs[i] = static_cast<uint8_t>((i / 5000) * 3);
    const struct {
        const char* what;
        Bytes data;
        int escape;
    } cases[] = {
        {"one byte", {0x42}, -1},
        {"the escape byte alone", {0xE5}, 0xE5},
        {"random", RandomBytes(rng, 100000), -1},
        {"repetitive", repetitive, -1},
        {"escape-heavy", escapeHeavy, 0xE5},
        {"all escape bytes", Bytes(5000, 0xE5), 0xE5},
        {"long runs with escape 0", runs, 0},
    };
    for (const auto& c : cases) {
        Bytes block = CompressBlock(c.data.data(), c.data.size(), c.escape);
        Bytes tokens(block.begin() + 4, block.end());
        Bytes out;
        EXPECT_OK(DecodeGuarded(tokens, static_cast<uint32_t>(c.data.size()), out)) << c.what;
        EXPECT_EQ(c.data, out) << c.what;
        Bytes viaBlock;
        EXPECT_OK(DecompressGuarded(block, viaBlock)) << c.what;
        EXPECT_EQ(c.data, viaBlock) << c.what;
    }
    Bytes repetitiveBlock = CompressBlock(repetitive.data(), repetitive.size());
    EXPECT_LT(repetitiveBlock.size(), repetitive.size() / 20);
}

// The decoder as the format defines it: one byte at a time, stopping at the first token that
// breaks a bound, zero where no token reached.
gCResult DecodeByteByByte(const Bytes& tokens, uint32_t size, Bytes& out)
{
    out.assign(size, 0);
    if (tokens.empty())
        return kOk;
    const uint8_t escape = tokens[0];
    size_t r = 1;
    size_t w = 0;
    auto number = [&](uint32_t& value) {
        value = 0;
        while (r < tokens.size()) {
            uint8_t b = tokens[r++];
            value = (value << 7) | (b & 0x7Fu);
            if ((b & 0x80u) == 0)
                return true;
        }
        return false;
    };
    while (r < tokens.size()) {
        uint8_t b = tokens[r++];
        if (b == escape && !(r < tokens.size() && tokens[r] == 0)) {
            uint32_t length = 0;
            uint32_t distance = 0;
            if (!number(length) || !number(distance))
                return kInvalidFile;
            if (length == 0)
                continue;
            if (distance > w || length > size - w)
                return kInvalidFile;
            for (uint32_t i = 0; i < length; ++i, ++w)
                out[w] = out[w - distance];
            continue;
        }
        if (b == escape)
            ++r;
        if (w >= size)
            return kInvalidFile;
        out[w++] = b;
    }
    return kOk;
}

// Copies of every short distance and of lengths around the block sizes, between literal runs
// of every length up to a few blocks, with escaped literals and empty copies among them.
Bytes EveryCopyShape(uint32_t& size)
{
    const uint8_t escape = 0xE5;
    Bytes tokens = {escape};
    size = 0;
    for (uint32_t distance = 0; distance <= 40; ++distance) {
        for (uint32_t length : {1u, 2u, 3u, 4u, 7u, 8u, 9u, 15u, 16u, 17u, 31u, 32u, 33u, 48u, 100u}) {
            uint32_t literals = 1 + (distance * 7 + length) % 50;
            for (uint32_t i = 0; i < literals; ++i) {
                uint8_t b = static_cast<uint8_t>(size * 31 + i * 17 + distance);
                tokens.push_back(b);
                if (b == escape)
                    tokens.push_back(0);
            }
            size += literals;
            tokens.push_back(escape);
            PutNumber(tokens, length);
            PutNumber(tokens, distance);
            size += length;
        }
        // A copy of nothing, from any distance, appends nothing.
        tokens.insert(tokens.end(), {escape, 0x80, 0x00});
        PutNumber(tokens, size + distance);
    }
    return tokens;
}

TEST(DecodeTokens, AgreesWithTheByteByByteDefinition)
{
    uint32_t shapesSize = 0;
    Bytes shapes = EveryCopyShape(shapesSize);
    std::mt19937 rng(5);
    Bytes mixed;
    for (int i = 0; i < 20000; ++i)
        mixed.push_back(static_cast<uint8_t>(i % 3000 < 1500 ? "layer brush canvas "[i % 19] : rng()));
    Bytes packed = CompressBlock(mixed.data(), mixed.size(), 0xE5);
    Bytes packedTokens(packed.begin() + 4, packed.end());
    const struct {
        const char* what;
        Bytes tokens;
        uint32_t size;
    } cases[] = {
        {"every copy shape", shapes, shapesSize},
        {"every copy shape, output cut short", shapes, shapesSize - 37},
        {"every copy shape, room to spare", shapes, shapesSize + 1000},
        {"packed text and noise", packedTokens, static_cast<uint32_t>(mixed.size())},
        {"packed text and noise, cut in the middle", Bytes(packedTokens.begin(), packedTokens.begin() + 7001),
         static_cast<uint32_t>(mixed.size())},
        {"packed text and noise, output cut in the middle", packedTokens, 9000},
    };
    for (const auto& c : cases) {
        Bytes expected;
        gCResult expectedResult = DecodeByteByByte(c.tokens, c.size, expected);
        Bytes out;
        EXPECT_EQ(expectedResult, DecodeGuarded(c.tokens, c.size, out)) << c.what;
        EXPECT_EQ(expected, out) << c.what;
    }
}

TEST(DecodeTokens, DamagedBlocksNeverLeaveTheirBuffers)
{
    std::mt19937 rng(99);
    Bytes data;
    for (int i = 0; i < 3000; ++i)
        data.push_back(static_cast<uint8_t>(i % 7 == 0 ? 0xE5 : "abcabcabd"[i % 9]));
    Bytes block = CompressBlock(data.data(), data.size(), 0xE5);
    Bytes tokens(block.begin() + 4, block.end());
    for (int round = 0; round < 300; ++round) {
        Bytes damaged = tokens;
        for (int k = 0; k < 3; ++k)
            damaged[1 + rng() % (damaged.size() - 1)] = static_cast<uint8_t>(rng());
        damaged.resize(1 + rng() % damaged.size());
        const uint32_t size = static_cast<uint32_t>(data.size() / 2 + rng() % data.size());
        Bytes out;
        Bytes expected;
        ASSERT_EQ(DecodeByteByByte(damaged, size, expected), DecodeGuarded(damaged, size, out)) << round;
        ASSERT_EQ(expected, out) << round;
    }
}

} // namespace
