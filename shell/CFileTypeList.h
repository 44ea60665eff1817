// The file types that an open or save dialog offers: the caller's own entries first, then
// rows of the file-type table, then (when asked for) "All Files". Entries are numbered from 0
// in that order; the dialogs' filter indices are those positions plus 1.
#pragma once
#include <cstdint>

#include "CMemBlockT.h"
#include "gCArray.h"
#include "gCString.h"

struct CFileTypeEntry {
    uint32_t typeId = 0;
    gCString description;
    // One extension or several separated by ',', each with its dot (".bmp,.jpg").
    gCString extensions;
    uint32_t word = 0;
};

class CFileTypeList {
public:
    // 6 unless the row is one of the table's types with an extension (never a group marker).
    gCResult AddStandardType(uint32_t typeIndex);
    // 6 for an extension text that names no extension.
    gCResult AddCustomType(uint32_t typeId, const gCString& description, const gCString& extensions, uint32_t word = 0);
    void SetAllFiles(uint32_t flag) { m_allFiles = flag; }

    gCResult SetSelectedType(uint32_t type)
    {
        m_selectedType = type;
        return kOk;
    }
    uint32_t GetSelectedType() const { return m_selectedType; }
    uint32_t GetAllFiles() const { return m_allFiles; }

    // The type at a position: a custom entry's id, a standard type's index, or 1 ("All Files")
    // for any position that is neither.
    uint32_t GetTypeAt(int32_t position) const;
    // -1 asks for the entry count (custom + standard). Otherwise the position of the first
    // entry of that type; type 1 gives the position after the entries, where "All Files"
    // stands when the list ends with it; -1 when none.
    int32_t IndexOfType(int32_t type) const;
    // The entry's extension text, or the empty text for a position that holds no entry.
    gCString& GetExtensionAt(gCString& out, int32_t position) const;

    int32_t CustomCount() const { return m_custom.Count(); }
    int32_t StandardCount() const { return m_standard.Count(); }
    // Custom and standard entries.
    int32_t EntryCount() const { return CustomCount() + StandardCount(); }
    // Every filter the dialog shows, "All Files" included.
    int32_t FilterCount() const { return EntryCount() + (m_allFiles ? 1 : 0); }
    const CFileTypeEntry& CustomAt(int32_t i) const { return m_custom[i]; }
    uint32_t StandardAt(int32_t i) const { return m_standard[i]; }

private:
    gCArray<uint32_t> m_standard;
    gCArray<CFileTypeEntry> m_custom;
    uint32_t m_selectedType = 0;
    uint32_t m_allFiles = 0;
};

// The dialogs' filter: for each entry its name and its pattern ("*.bmp;*.jpg"), then
// "All Files (*.*)" and "*.*" when the list ends with it, each zero-terminated, and one more
// zero. The buffer is sized to fit. 0 or 5.
gCResult BuildFileTypeFilter(const CFileTypeList& list, CMemBlockT<wchar_t>& filter);

// The first extension of an extension text (".bmp" of ".bmp,.jpg"); empty when it has none.
gCString FirstExtension(const gCString& extensions);
// Whether the path ends with one of the text's extensions, ignoring case (".tar.gz" included).
bool EndsWithOneOfExtensions(const gCString& path, const gCString& extensions);
gCString LowerCaseText(const gCString& text);
