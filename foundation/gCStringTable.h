// Numbered texts of a string-table file (.vsf), optionally with key names; one text may hold
// variants separated by '|'. The ids, texts and (when kept) names stay in step: entry i is
// ids[i], texts[i], names[i]. Lookups never fail: what is missing gives "%%String Table Error".
#pragma once
#include <cstdint>

#include "gCArray.h"
#include "gCStream.h"
#include "gCStringArray.h"

class gCStringTable : public gCBaseObject {
public:
    explicit gCStringTable(int32_t keepNames = 0);
    ~gCStringTable() override;

    // Opens the file relative to the program folder; when it cannot be opened the table keeps
    // what it held.
    gCResult LoadFile(const gCString& pathText);
    gCResult Load(gCStream& stream);
    // A later record with the same id (or kept name) replaces the earlier one when replace is
    // 1 and is dropped when 0. A failure leaves the entries read before it.
    gCResult Parse(gCStream& stream, int32_t replace);
    gCResult Clear();
    // Keeps only the records whose key name is one of these (the caller keeps the array): a
    // reader that wants a few named texts then reads any table in one pass, however many
    // records it holds. Needs kept names.
    void SetWantedNames(const wchar_t* const* names, int32_t count);

    gCString GetTextByID(uint32_t id, int32_t variant) const;
    gCString GetVariantByName(const gCString& name, int32_t variant) const;
    gCString GetTextByName(const gCString& name) const;

    int32_t GetCount() const { return m_ids.Count(); }
    uint32_t GetIDAt(int32_t index) const { return m_ids[index]; }
    int32_t GetKeepNames() const { return m_keepNames; }
    // The names array's count: the count of entries when names are kept, else 0.
    int32_t GetNameCount() const { return m_names.Count(); }

    static const wchar_t* const kErrorText;

private:
    bool IsWanted(const gCString& name) const;
    int32_t FindRecordMatch(uint32_t id, const gCString& name) const;
    int32_t FindID(uint32_t id) const;
    int32_t FindName(const gCString& name) const;
    gCResult Append(uint32_t id, const gCString& text, const gCString& name);
    void RemoveEntry(int32_t index);

    gCArray<uint32_t> m_ids;
    gCStringArray m_texts;
    gCStringArray m_names;
    int32_t m_keepNames;
    const wchar_t* const* m_wanted = nullptr;
    int32_t m_wantedCount = 0;
};
