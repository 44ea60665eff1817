// A resource's body inside its chunk, read as untrusted bytes: a read that would pass the
// chunk's end is refused, so every size and count from the file is measured against the bytes
// that are really there before anything is made for it. The first failure sticks, and Fail
// reports it once with code 23 and the reader's detail text.
#pragma once
#include <cstdint>

#include "gCStream.h"

class CResourceBody {
public:
    CResourceBody(gCStream& stream, int64_t end) : m_stream(stream), m_end(end) {}

    // False once anything failed; a refused read leaves its value as it was.
    bool ReadU32(uint32_t& value) { return Read(&value, sizeof value); }
    bool ReadS32(int32_t& value) { return Read(&value, sizeof value); }
    bool ReadFloat(float& value) { return Read(&value, sizeof value); }
    bool ReadBytes(void* buffer, uint32_t n) { return Read(buffer, n); }
    bool Skip(uint32_t n);
    // Whether count items of size bytes each lie between the stream and the end.
    bool Holds(uint64_t count, uint64_t size);
    // The next n bytes as a body of their own; call it only when they are held.
    CResourceBody Part(uint32_t n) { return CResourceBody(m_stream, m_stream.Tell() + n); }
    bool IsOk() const { return m_result == kOk; }

    // Shows code 23 with the detail and returns the failure: the stream's own code when a read
    // failed, 23 when the bytes were not there, else the code given.
    gCResult Fail(const char* detail, gCResult code = kResourceReadFailure);

private:
    // False, and the failure kept, when n more bytes are not there or a read failed before.
    bool Claim(uint32_t n);
    bool Read(void* buffer, uint32_t n);

    gCStream& m_stream;
    int64_t m_end;
    gCResult m_result = kOk;
};
