// The toolkit's constant table of file types: display name, extension text (one extension or
// several separated by ',') and four-character type code, 26 rows indexed by type index.
// Rows whose name ends in "Flag" mark the start and end of a group in the dialogs' filters.
#pragma once
#include <cstdint>

#include "gCString.h"

constexpr int32_t kFileTypeCount = 26;
constexpr int32_t kAllFilesTypeIndex = 1;
// '?\?\?\?', spelled with escapes so that no trigraph forms.
constexpr uint32_t kUnknownFileType = static_cast<uint32_t>('?\?\?\?');

extern const wchar_t* const gFileTypeNames[kFileTypeCount];
extern const wchar_t* const gFileTypeExtensions[kFileTypeCount];
extern const uint32_t gFileTypeCodes[kFileTypeCount];

// The type code of the first of rows 0..22 whose extension text equals the given one, with
// or without its leading dot and in any letter case; '????' when none does.
uint32_t GetFileTypeOfPath(const gCString& extension);
