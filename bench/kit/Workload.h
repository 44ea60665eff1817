// The files of the benchmarks' updates.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "QVUPacker.h"

// Files as real installations have them: most under 4 KB, a tenth of tens to hundreds of KB,
// a few of several MB; 1,100 at scale 1 over 20 folders. The names are short because the file
// table holds 65,536 bytes: about 1,360 entries of this length. `large` scales the few large
// files alone, so that the update's size changes and its number of files does not.
std::vector<QVUPackEntry> MakeWorkload(double scale, double large = 1.0);

// Files of plain log-like text, about `bytes` in all, each within the archive's limit for one
// file: an update that packs small and unpacks large.
std::vector<QVUPackEntry> MakeCompressibleWorkload(uint64_t bytes);

// The program of the product, packed as QUORVEL.EXE; false when it cannot be read.
bool AddProductProgram(std::vector<QVUPackEntry>& entries, const std::wstring& path);

uint64_t TotalBytes(const std::vector<QVUPackEntry>& entries);

// The folders that the entries' names hold, each once, ending with '\'.
std::vector<std::wstring> FoldersOf(const std::vector<QVUPackEntry>& entries);
