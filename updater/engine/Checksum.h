// The CRC-32 (IEEE, reflected) of bytes and of a file's contents, by which the installation's
// journal proves its own records and knows the files of a run again.
#pragma once
#include <cstddef>
#include <cstdint>

#include "gCResult.h"
#include "gCString.h"

// Continues a checksum over more bytes: start from 0.
uint32_t Crc32(uint32_t crc, const void* bytes, size_t n);

// The length and checksum of a file open for reading, from its start, read through the
// caller's block (asks for no memory).
gCResult FileChecksum(void* fileHandle, char* block, uint32_t blockSize, uint64_t& size, uint32_t& crc);
