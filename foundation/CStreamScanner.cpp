#include "CStreamScanner.h"

#include <cstring>

CStreamScanner::CStreamScanner(gCStream& stream, uint32_t pieceBytes)
    : m_stream(stream), m_start(stream.Tell()),
      m_piece(pieceBytes < 2 || pieceBytes > kMaxPiece ? kMaxPiece : pieceBytes)
{
}

// Keeps the unread bytes and tops the buffer up with the next piece until n are there.
bool CStreamScanner::Ensure(uint32_t n)
{
    while (m_fill - m_next < n) {
        if (m_ended)
            return false;
        uint32_t left = m_fill - m_next;
        std::memmove(m_buffer, m_buffer + m_next, left);
        m_fill = left;
        m_next = 0;
        uint32_t got = 0;
        gCResult r = m_stream.ReadUpTo(m_buffer + m_fill, m_piece - m_fill, got);
        if (r != kOk) {
            m_failure = r;
            m_ended = true;
        }
        if (got == 0)
            m_ended = true;
        m_fill += got;
    }
    return true;
}

bool CStreamScanner::PeekByte(uint8_t& value)
{
    if (!Ensure(1))
        return false;
    value = m_buffer[m_next];
    return true;
}

bool CStreamScanner::NextByte(uint8_t& value)
{
    if (!PeekByte(value))
        return false;
    Skip(1);
    return true;
}

bool CStreamScanner::PeekUnit(uint16_t& value)
{
    if (!Ensure(2))
        return false;
    value = static_cast<uint16_t>(m_buffer[m_next] | (m_buffer[m_next + 1] << 8));
    return true;
}

bool CStreamScanner::NextUnit(uint16_t& value)
{
    if (!PeekUnit(value))
        return false;
    Skip(2);
    return true;
}

void CStreamScanner::Skip(uint32_t n)
{
    uint32_t left = m_fill - m_next;
    if (n > left)
        n = left;
    m_next += n;
    m_consumed += n;
}

void CStreamScanner::ConsumeRest()
{
    Ensure(m_piece);
    Skip(m_fill - m_next);
}

gCResult CStreamScanner::Finish()
{
    if (m_failure != kOk)
        return kStreamFailure;
    return m_stream.SetPosition(m_start + m_consumed);
}
