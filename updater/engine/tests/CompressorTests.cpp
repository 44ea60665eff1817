// The block decoder: every token form, every copy shape its block moves take apart, and
// malformed blocks, with the input and the output against guard pages.
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
    for (int shift = 24; shift >= 0; shift -= 8)
        b.push_back(static_cast<uint8_t>(size >> shift));
    b.insert(b.end(), tokens.begin(), tokens.end());
    return b;
}

// 'a', then a copy of the given length from one back, then empty copies enough to reach the
// part of the decoder that works a margin away from both ends of a 400-byte output.
Bytes LongCopy(uint32_t length)
{
    Bytes tokens = {0xE5, 0x61, 0xE5};
    PutNumber(tokens, length);
    PutNumber(tokens, 1);
    for (int i = 0; i < 50; ++i)
        tokens.insert(tokens.end(), {0xE5, 0x80, 0x00, 0x01});
    return tokens;
}

Bytes FirstThenZeros(uint32_t size)
{
    Bytes out(size, 0);
    out[0] = 0x61;
    return out;
}

// Decompresses with every block of the memory hooks placed before a guard page.
gCResult Decompress(const Bytes& block, Bytes& out)
{
    GuardedAllocator guard;
    CMemBlockT<char> in;
    CMemBlockT<char> output;
    if (in.Resize(static_cast<int32_t>(block.size())) != kOk)
        return -1;
    in.CopyFrom(reinterpret_cast<const char*>(block.data()), static_cast<int32_t>(block.size()));
    const gCResult r = CQVUCompressor().Decompress(in, output);
    out.assign(output.Data(), output.Data() + output.Count());
    return r;
}

// Decodes with the tokens against a guard page and the output first against the guard after
// it, then against the guard before it; both runs must agree.
gCResult Decode(const Bytes& tokens, uint32_t outputSize, Bytes& out)
{
    GuardedBuffer in(tokens);
    GuardedBuffer tail(outputSize);
    GuardedBuffer head(outputSize);
    std::memset(tail.AtEnd(), 0, outputSize);
    std::memset(head.AtStart(), 0, outputSize);
    const uint32_t count = static_cast<uint32_t>(tokens.size());
    const gCResult a = CQVUCompressor::DecodeTokens(in.AtEnd(), count, tail.AtEnd(), outputSize);
    const gCResult b = CQVUCompressor::DecodeTokens(in.AtEnd(), count, head.AtStart(), outputSize);
    out.assign(tail.AtEnd(), tail.AtEnd() + outputSize);
    return a == b && out == Bytes(head.AtStart(), head.AtStart() + outputSize) ? a : gCResult(-1);
}

TEST(Decompress, DecodesTokensKeepsTheFillWhereNoTokenReachedAndStopsInsideItsBounds)
{
    const gCResult kBad = kInvalidFile;
    const struct {
        const char* what;
        uint32_t size;
        Bytes tokens;
        gCResult result;
        Bytes output;
    } cases[] = {
        {"size 0 leaves the output empty", 0, {}, kOk, {}},
        {"unallocatable output", 0xFFFFFFF0, {0x01}, kOutOfMemory, {}},
        {"short stream keeps zeros", 5, {0xE5, 0x61, 0x62}, kOk, {0x61, 0x62, 0, 0, 0}},
        {"escaped literal with escape 0", 1, {0x00, 0x00, 0x00}, kOk, {0x00}},
        {"copy with escape 0", 4, {0x00, 0x61, 0x62, 0x00, 0x02, 0x02}, kOk, {0x61, 0x62, 0x61, 0x62}},
        {"long length 0 reads both", 2, {0xE5, 0x61, 0xE5, 0x80, 0x00, 0x01, 0x62}, kOk, {0x61, 0x62}},
        {"distance 0 copies the fill", 4, {0xE5, 0x61, 0xE5, 0x02, 0x00, 0x62}, kOk, {0x61, 0, 0, 0x62}},
        {"5-byte length",
         4,
         {0xE5, 0x61, 0x62, 0xE5, 0x90, 0x80, 0x80, 0x80, 0x02, 0x02},
         kOk,
         {0x61, 0x62, 0x61, 0x62}},
        {"two-byte numbers", 300, {0xE5, 0x61, 0xE5, 0x82, 0x2B, 0x01}, kOk, Bytes(300, 0x61)},
        // Malformed streams stop inside their bounds and keep what was decoded.
        {"escape as the last byte", 2, {0xE5, 0x61, 0xE5}, kBad, {0x61, 0}},
        {"length cut off", 2, {0xE5, 0x61, 0xE5, 0x81}, kBad, {0x61, 0}},
        {"distance cut off", 2, {0xE5, 0x61, 0xE5, 0x01, 0x80}, kBad, {0x61, 0}},
        {"literal past the size", 2, {0xE5, 0x61, 0x62, 0x63}, kBad, {0x61, 0x62}},
        {"escaped literal past the size", 1, {0xE5, 0x61, 0xE5, 0x00}, kBad, {0x61}},
        // A copy that ends on the last byte, and one that would end a byte past it.
        {"copy to the last byte", 4, {0xE5, 0x61, 0xE5, 0x03, 0x01}, kOk, Bytes(4, 0x61)},
        {"copy a byte past the last", 4, {0xE5, 0x61, 0xE5, 0x04, 0x01}, kBad, FirstThenZeros(4)},
        {"long copy to the last byte", 400, LongCopy(399), kOk, Bytes(400, 0x61)},
        {"long copy a byte past the last", 400, LongCopy(400), kBad, FirstThenZeros(400)},
        {"huge copy past the size", 4, {0xE5, 0x61, 0xE5, 0x8F, 0xFF, 0xFF, 0xFF, 0x7F, 0x01}, kBad, {0x61, 0, 0, 0}},
        {"distance beyond the output", 8, {0xE5, 0x61, 0xE5, 0x02, 0x02}, kBad, {0x61, 0, 0, 0, 0, 0, 0, 0}},
        {"copy before any output", 8, {0xE5, 0xE5, 0x01, 0x01}, kBad, Bytes(8, 0)},
        {"distance near 2^32", 4, {0xE5, 0x61, 0xE5, 0x01, 0x8F, 0xFF, 0xFF, 0xFF, 0x7F}, kBad, {0x61, 0, 0, 0}},
    };
    Bytes out = {1};
    for (const auto& c : cases) {
        EXPECT_RESULT(Decompress(Block(c.size, c.tokens), out), c.result) << c.what;
        EXPECT_EQ(c.output, out) << c.what;
    }
    EXPECT_RESULT(Decompress(Bytes(3, 0), out), kBad); // too short for its size
    EXPECT_EQ(Bytes(), out);
}

// Copies of every short distance and of lengths around the block sizes, between literal runs
// of every length up to a few blocks, with escaped literals and empty copies among them; the
// output is worked out a byte at a time beside them.
Bytes EveryCopyShape(Bytes& expected)
{
    const uint8_t escape = 0xE5;
    Bytes tokens = {escape};
    for (uint32_t distance = 0; distance <= 40; ++distance) {
        for (uint32_t length : {1u, 2u, 3u, 4u, 7u, 8u, 9u, 15u, 16u, 17u, 31u, 32u, 33u, 48u, 100u}) {
            for (uint32_t i = 0, literals = 1 + (distance * 7 + length) % 50; i < literals; ++i) {
                expected.push_back(static_cast<uint8_t>(expected.size() * 31 + i * 17 + distance));
                tokens.push_back(expected.back());
                if (expected.back() == escape)
                    tokens.push_back(0);
            }
            tokens.push_back(escape);
            PutNumber(tokens, length);
            PutNumber(tokens, distance);
            for (uint32_t i = 0; i < length; ++i)
                expected.push_back(distance ? expected[expected.size() - distance] : 0);
        }
        // A copy of nothing, from any distance, appends nothing.
        tokens.insert(tokens.end(), {escape, 0x80, 0x00});
        PutNumber(tokens, static_cast<uint32_t>(expected.size()) + distance);
    }
    return tokens;
}

TEST(DecodeTokens, EveryCopyShapeAndPackedDataComeOutWhole)
{
    std::mt19937 rng(1234);
    Bytes random(100000);
    for (uint8_t& x : random)
        x = static_cast<uint8_t>(rng());
    Bytes escapeHeavy(random.begin(), random.begin() + 30000);
    for (size_t i = 0; i < escapeHeavy.size(); i += 2)
        escapeHeavy[i] = 0xE5;
    Bytes repetitive;
    for (int i = 0; i < 40000; ++i)
        repetitive.push_back(static_cast<uint8_t>("update archive "[i % 15]));
    Bytes runs(70000, 0);
    for (size_t i = 0; i < runs.size(); ++i)
        runs[i] = static_cast<uint8_t>((i / 5000) * 3);
    Bytes shapes;
    const Bytes shapeTokens = EveryCopyShape(shapes);
    Bytes out;
    EXPECT_OK(Decode(shapeTokens, static_cast<uint32_t>(shapes.size()), out));
    EXPECT_EQ(shapes, out);

    const std::pair<Bytes, int> packed[] = {
        {{0xE5}, 0xE5}, {random, -1}, {repetitive, -1}, {escapeHeavy, 0xE5}, {Bytes(5000, 0xE5), 0xE5}, {runs, 0}};
    for (const auto& c : packed) {
        const Bytes block = CompressBlock(c.first.data(), c.first.size(), c.second);
        EXPECT_OK(Decode(Bytes(block.begin() + 4, block.end()), static_cast<uint32_t>(c.first.size()), out));
        EXPECT_EQ(c.first, out) << c.first.size();
    }
    EXPECT_LT(CompressBlock(repetitive.data(), repetitive.size()).size(), repetitive.size() / 20);
}

} // namespace
