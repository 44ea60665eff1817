// Entry names and the program to start come from an unauthenticated download and are appended
// to the installation folder: only plain relative paths below it may pass.
#pragma once
#include <cstdint>

// True for a relative path of one or more names separated by '\' or '/', none of them empty,
// "." or "..", none ending in '.' or ' ' (Windows drops those), and no ':' anywhere (drives,
// alternate streams). The text is checked as given: trim it first.
bool IsSafeArchiveName(const wchar_t* text, int32_t length);
