// Entry names and the program to start come from an unauthenticated download and are appended
// to the installation folder: only plain relative paths below it may pass.
#pragma once
#include <cstdint>

#include "gCResult.h"

// True for a relative path of one or more names separated by '\' or '/', none of them empty,
// "." or "..", none ending in '.' or ' ' (Windows drops those), none a device name (CON, NUL,
// COM1, ... with or without an extension), and no ':' (drives, alternate streams), wildcard or
// other character that Windows refuses in a name. The text is checked as given: trim it first.
bool IsSafeArchiveName(const wchar_t* text, int32_t length);

// True when the two names would reach one file as Windows sees them (case aside), or when one
// is the other's kept-aside ".old" or temporary ".tmp" file. Separators must be '\' in both.
bool ArchiveNamesCollide(const wchar_t* a, int32_t lengthA, const wchar_t* b, int32_t lengthB);

// Names in the file system's order: unit by unit, case aside, then by length.
bool ArchiveNameBefore(const wchar_t* a, int32_t lengthA, const wchar_t* b, int32_t lengthB);
// The same name as the file system sees it, case aside.
bool SameArchiveName(const wchar_t* a, int32_t lengthA, const wchar_t* b, int32_t lengthB);
// A name ending in ".exe" in any case: a program, which is kept as a copy while it may run.
bool IsProgramName(const wchar_t* text, int32_t length);

struct ArchiveName {
    const wchar_t* text;
    int32_t length;
};

// 0 when no two of the names collide as ArchiveNamesCollide sees them, 1 when two do, 5 when
// memory runs out. The names are put in the file system's order, so that a table near its
// ceiling is not compared pair by pair.
gCResult CheckArchiveNamesDistinct(const ArchiveName* names, int32_t count);
