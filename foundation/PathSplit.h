// Splitting and joining path texts by the Windows rules (drive letter, '\' or '/' separators,
// a dot before the extension), over texts of any length.
#pragma once
#include "gCString.h"

// MakePath refuses parts whose lengths add up to this or more.
constexpr int32_t kMakePathLimit = 260;

inline bool IsPathSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

// Drive ("C:"), folder (up to and including the last separator), name (up to the last dot)
// and extension (from that dot). Any out may be null. An empty text gives 6 and touches no
// out; 5 when memory runs out.
gCResult SplitPath(const gCString& text, gCString* drive, gCString* folder, gCString* name, gCString* extension);

// The drive's first letter and ':', the folder with a separator added when it lacks one,
// the name, and the extension with a dot added when it lacks one. "" when the parts add up
// to kMakePathLimit characters or more, or when memory runs out.
gCString MakePath(const gCString& drive, const gCString& folder, const gCString& name, const gCString& extension);

// As MakePath, telling the two failures apart: 6 past the limit, 5 when memory runs out.
gCResult JoinPath(const gCString& drive, const gCString& folder, const gCString& name, const gCString& extension,
                  gCString& out);

// a followed by b; "" when memory runs out, never a part of the joined text.
gCString JoinTexts(const gCString& a, const gCString& b);

// A folder text followed by a name: 5 when memory runs out (a text lost to it, unset,
// included), 6 for an empty folder. Never the bare name, which the system would take as
// relative to the working folder.
gCResult JoinFolderAndName(const gCString& folder, const gCString& name, gCString& out);
