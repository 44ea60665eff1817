// Writes update archives: the inverse of the engine's decoder and archive parser. Used by the
// people who publish updates (through the packing tool) and by tests, which also use the
// options to write archives that the reader must refuse.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

typedef std::vector<uint8_t> QVUBytes;

struct QVUPackEntry {
    std::wstring name; // relative to the installation folder, '\' between folders
    QVUBytes data;
};

struct QVUPackOptions {
    uint32_t version = 4;
    bool bigEndianScript = false;
    int escapeByte = -1; // -1: the byte least used in the data
};

// The compressed block: big-endian unpacked size, escape byte, tokens.
QVUBytes CompressBlock(const uint8_t* data, size_t size, int escapeByte = -1);

// The unpacked archive stream: header, script (a byte-order mark is put before it), file table
// and data records.
QVUBytes BuildArchiveStream(const std::vector<QVUPackEntry>& entries, const std::wstring& script,
                            const QVUPackOptions& options = QVUPackOptions());

// Magic words and format around a compressed block.
QVUBytes WrapContainer(const QVUBytes& block);

// All three layers.
QVUBytes PackArchive(const std::vector<QVUPackEntry>& entries, const std::wstring& script,
                     const QVUPackOptions& options = QVUPackOptions());

// A base-128 number of the compressed block, most significant group first.
void PutNumber(QVUBytes& out, uint32_t value);

// Little-endian helpers for writers and for tests that patch fields.
void PutU32(QVUBytes& out, uint32_t value);
void PutU64(QVUBytes& out, uint64_t value);
void PokeU32(QVUBytes& bytes, size_t offset, uint32_t value);
uint32_t PeekU32(const QVUBytes& bytes, size_t offset);
