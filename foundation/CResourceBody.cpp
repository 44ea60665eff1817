#include "CResourceBody.h"

#include "ReportError.h"

bool CResourceBody::Holds(uint64_t count, uint64_t size)
{
    const int64_t at = m_stream.Tell();
    if (at < 0 || at > m_end)
        return false;
    const uint64_t left = static_cast<uint64_t>(m_end - at);
    // Division, not multiplication: a hostile count times a size must not wrap.
    return size == 0 || count <= left / size;
}

bool CResourceBody::Claim(uint32_t n)
{
    if (m_result == kOk && !Holds(n, 1))
        m_result = kResourceReadFailure;
    return m_result == kOk;
}

bool CResourceBody::Read(void* buffer, uint32_t n)
{
    if (Claim(n))
        m_result = m_stream.ReadBytes(buffer, n);
    return m_result == kOk;
}

bool CResourceBody::Skip(uint32_t n)
{
    if (Claim(n))
        m_result = m_stream.SetPosition(m_stream.Tell() + n);
    return m_result == kOk;
}

gCResult CResourceBody::Fail(const char* detail, gCResult code)
{
    ReportError(kResourceReadFailure, detail);
    return m_result != kOk ? m_result : code;
}
