// Byte layout of the update archive: the compressed container and the unpacked stream.
// Shared by the reader and by the packer that publishes updates.
#pragma once
#include <cstdint>

namespace QVUArchive {

// Container: magic, format, compressed block, magic again.
const uint32_t kContainerMagic1 = 0x53325651; // "QV2S"
const uint32_t kContainerMagic2 = 0x48535551; // "QUSH"
const uint32_t kContainerFormat = 1;
const uint32_t kContainerOverhead = 20;
const uint64_t kMaxContainerSize = 100000000;

// Unpacked stream header.
const uint32_t kArchiveMagic1 = 0x55325651; // "QV2U"
const uint32_t kArchiveMagic2 = 0x48535153; // "SQSH"
const uint32_t kArchiveVersion = 4;
const uint32_t kFixedHeaderSize = 32; // magic, version, A, F, the 4 unused bytes, the table tags
const uint32_t kFirstHeaderWindow = 128;
const uint64_t kMaxTableSize = 65536;   // A
const uint64_t kMaxScriptUnits = 65536; // F

const uint32_t kTableTag1 = 0xE1547A8F;
const uint32_t kTableTag2 = 0x00A7451E;
const uint32_t kEntryTag1 = 0xE1546A8F;
const uint32_t kEntryTag2 = 0x00A6451E;

const uint32_t kMaxEntryCount = 0xFFFFF;
// The least a file table entry takes: its size, two tag pairs and a name of one unit with its
// terminator. No archive names more files than its largest table holds.
const uint32_t kMinTableEntrySize = 8 + 8 + 4 + 8;
const uint32_t kMaxArchiveEntries = static_cast<uint32_t>(kMaxTableSize / kMinTableEntrySize);
const uint64_t kMaxFileSize = 100000000;

// Bytes between the header and the first data record.
const uint32_t kRecordsGap = 8;
// A data record's bytes besides the file's own.
const uint32_t kRecordOverhead = 62;

// The install script's keys, in the order of CQVUDesquasher::ScriptKey; lines with any other
// key are ignored by the reader.
const wchar_t* const kScriptKeys[] = {L"FILENAME", L"EXECUTE", L"TYPE", L"OS", L"BUILD", L"VERSIONNUMBER"};

} // namespace QVUArchive
