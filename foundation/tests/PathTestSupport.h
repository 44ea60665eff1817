// What the path and file tests share beyond the temporary folder: conversions, whole-file
// helpers by name, an unshared open file, the working folder and the test program's folder.
#pragma once
#include <windows.h>

#include <string>

#include "TempFolder.h"
#include "WinHandle.h"
#include "gCString.h"

inline gCString S(const std::wstring& text)
{
    return gCString(text.c_str());
}

inline std::wstring W(const gCString& text)
{
    return std::wstring(text.Text(), static_cast<size_t>(text.Length()));
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

// False when the file is missing.
inline bool ReadText(const TempFolder& folder, const std::wstring& name, std::string& bytes)
{
    if (!PathExists(folder / name))
        return false;
    Bytes read = ReadWholeFile(folder.File(name.c_str()));
    bytes.assign(read.begin(), read.end());
    return true;
}

// Opened for reading and writing, shared with nobody.
inline HANDLE OpenUnshared(const std::wstring& path)
{
    return CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

inline std::wstring CurrentFolder()
{
    DWORD needed = GetCurrentDirectoryW(0, nullptr);
    std::wstring text(needed, L'\0');
    text.resize(GetCurrentDirectoryW(needed, &text[0]));
    return text;
}

// The folder of the running test program, ending with '\'.
inline std::wstring ProgramFolder()
{
    wchar_t module[MAX_PATH];
    std::wstring text(module, GetModuleFileNameW(nullptr, module, MAX_PATH));
    return text.substr(0, text.find_last_of(L"\\/") + 1);
}
