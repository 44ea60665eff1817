// A bounded read of a stream from its position for the text readers: fills pieces through
// ReadUpTo and, at Finish, leaves the stream just after the bytes that were consumed.
#pragma once
#include <cstdint>

#include "gCStream.h"

class CStreamScanner {
public:
    CStreamScanner(gCStream& stream, uint32_t pieceBytes);
    CStreamScanner(const CStreamScanner&) = delete;
    CStreamScanner& operator=(const CStreamScanner&) = delete;

    bool NextByte(uint8_t& value);
    bool PeekByte(uint8_t& value);
    // Two bytes, little-endian as stored; false when fewer than two are left.
    bool NextUnit(uint16_t& value);
    bool PeekUnit(uint16_t& value);
    void Skip(uint32_t n);
    // Consumes a lone byte left at the end, so a scan over an odd length still ends.
    void ConsumeRest();
    // 16 when the medium failed on the way; otherwise the result of the final positioning.
    gCResult Finish();

private:
    bool Ensure(uint32_t n);

    static const uint32_t kMaxPiece = 4096;
    gCStream& m_stream;
    int64_t m_start;
    int64_t m_consumed = 0;
    uint32_t m_piece;
    uint32_t m_fill = 0;
    uint32_t m_next = 0;
    bool m_ended = false;
    gCResult m_failure = 0;
    uint8_t m_buffer[kMaxPiece];
};
