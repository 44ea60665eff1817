// qvupack <folder> <install script> <archive>: packs every file below the folder, with the
// script's KEY=VALUE lines, into an update archive.
#include <windows.h>

#include <cstdio>
#include <cwctype>
#include <string>
#include <vector>

#include "ArchiveFormat.h"
#include "ArchiveNames.h"
#include "QVUPacker.h"
#include "WinHandle.h"

namespace {

bool ReadWholeFile(const std::wstring& path, QVUBytes& out)
{
    CStdFile f(_wfopen(path.c_str(), L"rb"));
    if (!f.IsValid())
        return false;
    out.clear();
    uint8_t buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof(buffer), f.Get())) > 0) {
        out.insert(out.end(), buffer, buffer + n);
        if (out.size() > QVUArchive::kMaxFileSize)
            return false;
    }
    return ferror(f.Get()) == 0;
}

bool WriteWholeFile(const std::wstring& path, const QVUBytes& bytes)
{
    CStdFile f(_wfopen(path.c_str(), L"wb"));
    if (!f.IsValid())
        return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f.Get()) == bytes.size();
    return f.Close() && ok;
}

// Collects the files below folder, named relative to root with '\' between folders, in a stable order.
bool CollectFiles(const std::wstring& root, const std::wstring& relative, std::vector<QVUPackEntry>& entries)
{
    WIN32_FIND_DATAW data;
    std::wstring pattern = root + relative + L"*";
    CFindHandle find(FindFirstFileW(pattern.c_str(), &data));
    if (!find.IsValid())
        return GetLastError() == ERROR_FILE_NOT_FOUND;
    std::vector<std::wstring> folders;
    do {
        std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            folders.push_back(relative + name + L"\\");
            continue;
        }
        QVUPackEntry entry;
        entry.name = relative + name;
        if (!ReadWholeFile(root + entry.name, entry.data)) {
            fwprintf(stderr, L"qvupack: cannot read %ls (or it is above 100,000,000 bytes)\n", entry.name.c_str());
            return false;
        }
        entries.push_back(std::move(entry));
    } while (FindNextFileW(find.Get(), &data));
    for (const std::wstring& folder : folders)
        if (!CollectFiles(root, folder, entries))
            return false;
    return true;
}

std::wstring Utf16Units(const QVUBytes& bytes, size_t start, bool bigEndian)
{
    std::wstring text;
    for (size_t i = start; i + 1 < bytes.size(); i += 2)
        text.push_back(
            static_cast<wchar_t>(bigEndian ? (bytes[i] << 8) | bytes[i + 1] : bytes[i] | (bytes[i + 1] << 8)));
    return text;
}

// UTF-16 of either byte order with its mark, or UTF-8 with or without one. False for bytes
// that are not UTF-8.
bool DecodeScript(const QVUBytes& bytes, std::wstring& text)
{
    text.clear();
    if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        text = Utf16Units(bytes, 2, false);
        return true;
    }
    if (bytes.size() >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF) {
        text = Utf16Units(bytes, 2, true);
        return true;
    }
    const size_t start = bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF ? 3 : 0;
    if (start == bytes.size())
        return true;
    const char* utf8 = reinterpret_cast<const char*>(bytes.data()) + start;
    const int size = static_cast<int>(bytes.size() - start);
    int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, size, nullptr, 0);
    if (n <= 0)
        return false;
    text.resize(static_cast<size_t>(n));
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, size, &text[0], n);
    return true;
}

bool IsTrimmed(wchar_t c)
{
    return c == L'\t' || c == L' ' || c == L'\n' || c == L'\r';
}

std::wstring TrimmedUpper(const std::wstring& text)
{
    size_t first = 0;
    size_t end = text.size();
    while (first < end && IsTrimmed(text[first]))
        ++first;
    while (end > first && IsTrimmed(text[end - 1]))
        --end;
    std::wstring out = text.substr(first, end - first);
    for (wchar_t& c : out)
        c = static_cast<wchar_t>(towupper(c));
    return out;
}

// Every line end becomes the CR the reader splits at. A line whose key the reader would not
// know (a typo, a stray mark) is refused: the archive would silently lack it.
bool SplitScriptLines(const std::wstring& text, std::wstring& lines, std::wstring& badLine)
{
    lines.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n')
            continue;
        lines.push_back(text[i] == L'\n' ? L'\r' : text[i]);
    }
    size_t start = 0;
    while (start <= lines.size()) {
        size_t end = lines.find(L'\r', start);
        if (end == std::wstring::npos)
            end = lines.size();
        const std::wstring line = lines.substr(start, end - start);
        const std::wstring key = TrimmedUpper(line.substr(0, line.find(L'=')));
        bool known = false;
        for (const wchar_t* k : QVUArchive::kScriptKeys)
            known = known || key == k;
        if (!known && !TrimmedUpper(line).empty()) {
            badLine = line;
            return false;
        }
        start = end + 1;
    }
    return true;
}

int Fail(const wchar_t* message)
{
    fwprintf(stderr, L"qvupack: %ls\n", message);
    return 1;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 4)
        return Fail(L"usage: qvupack <folder> <install script> <archive>");
    std::wstring root = argv[1];
    if (!root.empty() && root.back() != L'\\' && root.back() != L'/')
        root += L'\\';

    QVUBytes scriptBytes;
    if (!ReadWholeFile(argv[2], scriptBytes))
        return Fail(L"cannot read the install script");
    std::wstring text;
    if (!DecodeScript(scriptBytes, text))
        return Fail(L"the install script is neither UTF-16 with a byte-order mark nor UTF-8");
    std::wstring script;
    std::wstring badLine;
    if (!SplitScriptLines(text, script, badLine)) {
        fwprintf(stderr,
                 L"qvupack: the install script has a line that is not KEY=VALUE with one of the keys "
                 L"FILENAME, EXECUTE, TYPE, OS, BUILD, VERSIONNUMBER: %ls\n",
                 badLine.c_str());
        return 1;
    }
    if (TrimmedUpper(script).empty())
        return Fail(L"the install script is empty");
    if (script.size() + 1 > QVUArchive::kMaxScriptUnits)
        return Fail(L"the install script is longer than 65,535 characters");

    std::vector<QVUPackEntry> entries;
    if (!CollectFiles(root, L"", entries))
        return 1;
    if (entries.empty() || entries.size() > QVUArchive::kMaxEntryCount)
        return Fail(L"the folder holds no files, or too many");
    size_t tableSize = 4;
    for (size_t i = 0; i < entries.size(); ++i) {
        const std::wstring& name = entries[i].name;
        if (!IsSafeArchiveName(name.c_str(), static_cast<int32_t>(name.size())))
            return Fail(L"a file name cannot be installed safely");
        for (size_t j = 0; j < i; ++j)
            if (ArchiveNamesCollide(name.c_str(), static_cast<int32_t>(name.size()), entries[j].name.c_str(),
                                    static_cast<int32_t>(entries[j].name.size())))
                return Fail(L"two files would be installed on one file (a name ending in .old or .tmp?)");
        tableSize += 24 + 2 * (name.size() + 1);
    }
    if (tableSize > QVUArchive::kMaxTableSize)
        return Fail(L"the file names do not fit the archive's 65,536-byte file table");

    QVUBytes archive = PackArchive(entries, script);
    if (archive.size() > QVUArchive::kMaxContainerSize)
        return Fail(L"the archive would be larger than 100,000,000 bytes");
    if (!WriteWholeFile(argv[3], archive))
        return Fail(L"cannot write the archive");
    fwprintf(stdout, L"qvupack: %u files, %u bytes\n", static_cast<unsigned>(entries.size()),
             static_cast<unsigned>(archive.size()));
    return 0;
}
