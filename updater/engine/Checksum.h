// What the installation's journal knows files by: the CRC-32 (IEEE, reflected) of bytes and of a
// file's contents, and a file's identity in its folder's volume.
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

// The index of an open file on its volume, which every name of it shares and a move keeps, and
// its length. The handle needs no more than attribute access.
gCResult FileIdentity(void* fileHandle, uint64_t& index, uint64_t& size);
