// What the path and file tests share beyond the temporary folder: conversions, whole-file
// helpers by name and a text cut short by a 0.
#pragma once
#include <windows.h>

#include <string>

#include "Expect.h"
#include "ResultAssert.h"
#include "TempFolder.h"
#include "WinHandle.h"

inline gCString S(const std::wstring& text)
{
    return gCString(text.c_str());
}

inline std::wstring operator/(const TempFolder& folder, const std::wstring& name)
{
    return folder.Path() + name;
}

inline bool PathExists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline bool WriteText(const TempFolder& folder, const std::wstring& name, const std::string& bytes)
{
    return WriteWholeFile(folder.File(name.c_str()), Ansi(bytes));
}

// "missing" when there is no such file.
inline std::string ReadText(const TempFolder& folder, const std::wstring& name)
{
    if (!PathExists(folder / name))
        return "missing";
    Bytes read = ReadWholeFile(folder.File(name.c_str()));
    return std::string(read.begin(), read.end());
}

// The text with a 0 and more after it, which the system would read as the text alone.
inline gCString WithEmbeddedZero(const std::wstring& text)
{
    const std::wstring withZero = text + L'\0' + L"ghost\\";
    gCString out;
    EXPECT_OK(out.SetTextN(withZero.data(), static_cast<int32_t>(withZero.size())));
    return out;
}
