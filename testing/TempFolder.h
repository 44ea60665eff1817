// A fresh folder under the system's temporary folder for one test, removed with its files at
// the end; and small helpers that write and read whole files without the toolkit's streams.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "gCString.h"

typedef std::vector<uint8_t> Bytes;

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder, ending with '\'.
    const std::wstring& Path() const { return m_path; }
    gCString File(const wchar_t* name) const { return gCString((m_path + name).c_str()); }

private:
    std::wstring m_path;
};

bool WriteWholeFile(const gCString& path, const Bytes& bytes);
Bytes ReadWholeFile(const gCString& path);
// The files below a folder (ending with '\\'), each named relative to it, sorted.
std::vector<std::wstring> FilesBelow(const std::wstring& folder);

// UTF-16LE units of a text, as the toolkit's files hold them.
Bytes Utf16(const std::wstring& text);
Bytes Ansi(const std::string& text);
Bytes Concat(std::initializer_list<Bytes> parts);
Bytes U32(uint32_t value);
