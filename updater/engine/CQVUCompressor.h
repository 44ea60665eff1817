// Decoder of the update archive's escape-byte LZ block: a big-endian unpacked size, the escape
// byte, then literals, escaped literals and back-references with base-128 numbers.
#pragma once
#include <cstdint>

#include "CMemBlockT.h"
#include "gCResult.h"

class CQVUCompressor {
public:
    CQVUCompressor() = default;
    virtual ~CQVUCompressor() = default;

    // Output gets exactly the block's unpacked size, decoded, zero where no token reached. 0 on success
    // (a stream that stops short is no failure), 17 for a block too short to hold the size or
    // a malformed token stream (the output keeps what was decoded), 5 when the output cannot be
    // allocated (the output is left empty).
    gCResult Decompress(const CMemBlockT<char>& block, CMemBlockT<char>& output);
    // The same over count bytes that lie elsewhere, such as a received body held in memory.
    gCResult Decompress(const uint8_t* block, uint32_t count, CMemBlockT<char>& output);

    // Decodes tokens (starting at the escape byte) into output of outputSize bytes; the bytes
    // that no token reached come back zero. Never reads at or past count, never writes at or
    // past outputSize, never reads before the output. 0, or 17 at the first token that would
    // break one of these bounds.
    static gCResult DecodeTokens(const uint8_t* tokens, uint32_t count, uint8_t* output, uint32_t outputSize);
};
