#include "Checksum.h"

#include <windows.h>
#include <winternl.h>

namespace {

// Eight tables, so that the loop takes eight bytes a step.
struct CrcTables {
    uint32_t t[8][256];
    CrcTables()
    {
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[0][n] = c;
        }
        for (uint32_t n = 0; n < 256; ++n)
            for (int k = 1; k < 8; ++k)
                t[k][n] = (t[k - 1][n] >> 8) ^ t[0][t[k - 1][n] & 0xFF];
    }
};

const CrcTables& Tables()
{
    static const CrcTables tables;
    return tables;
}

} // namespace

uint32_t Crc32(uint32_t crc, const void* bytes, size_t n)
{
    const uint32_t(&t)[8][256] = Tables().t;
    const uint8_t* p = static_cast<const uint8_t*>(bytes);
    uint32_t c = ~crc;
    for (; n >= 8; n -= 8, p += 8) {
        const uint32_t lo = c ^ (uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
        const uint32_t hi = uint32_t(p[4]) | uint32_t(p[5]) << 8 | uint32_t(p[6]) << 16 | uint32_t(p[7]) << 24;
        c = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^ t[3][hi & 0xFF] ^
            t[2][(hi >> 8) & 0xFF] ^ t[1][(hi >> 16) & 0xFF] ^ t[0][hi >> 24];
    }
    for (; n > 0; --n, ++p)
        c = t[0][(c ^ *p) & 0xFF] ^ (c >> 8);
    return ~c;
}

gCResult FileChecksum(void* fileHandle, char* block, uint32_t blockSize, uint64_t& size, uint32_t& crc)
{
    size = 0;
    crc = 0;
    LARGE_INTEGER start = {};
    if (!SetFilePointerEx(fileHandle, start, nullptr, FILE_BEGIN))
        return kStreamFailure;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(fileHandle, block, blockSize, &got, nullptr))
            return kStreamFailure;
        if (got == 0)
            return kOk;
        crc = Crc32(crc, block, got);
        size += got;
    }
}

gCResult FileIdentity(void* fileHandle, uint64_t& index, uint64_t& size)
{
    // The index alone, without the volume's facts that the whole file information asks the
    // system for, at many times the cost.
    const FILE_INFORMATION_CLASS kInternalInformation = static_cast<FILE_INFORMATION_CLASS>(6);
    LARGE_INTEGER number = {};
    IO_STATUS_BLOCK io = {};
    FILE_STANDARD_INFO standard = {};
    if (!NT_SUCCESS(NtQueryInformationFile(fileHandle, &io, &number, sizeof number, kInternalInformation)) ||
        !GetFileInformationByHandleEx(fileHandle, FileStandardInfo, &standard, sizeof standard))
        return kStreamFailure;
    index = static_cast<uint64_t>(number.QuadPart);
    size = static_cast<uint64_t>(standard.EndOfFile.QuadPart);
    return kOk;
}
