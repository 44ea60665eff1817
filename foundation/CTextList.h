// A list of texts from the resource file (type tag 'txlt'), each with a u32 value. Its body
// is an exclusivity word, a count and the entries; in format version 2 each text is followed
// by its value, in version 1 (and when loaded without a directory) there are no values.
#pragma once
#include "gCArray.h"
#include "gCResourceObject.h"
#include "gCStringArray.h"

class CTextList : public gCResourceObject {
public:
    CTextList();
    ~CTextList() override;

    gCResult LoadByName(const gCString& name, gCStream* stream, CResourceDirectory* directory) override;
    gCResult LoadByID(uint32_t id, gCStream* stream, CResourceDirectory* directory) override;

    // 0, or 5 with both arrays as they were.
    gCResult AddEntry(const gCString& text, uint32_t value);
    // A copy of the entry's text, which becomes the current index; outside 0..count-1 the
    // empty text, and the current index stays.
    gCString GetEntryString(int32_t index);
    uint32_t GetEntryValue(int32_t index) const;
    int32_t GetCount() const { return m_texts.Count(); }
    int32_t GetCurrentIndex() const { return m_currentIndex; }

private:
    gCResult ReadBody(gCStream& stream, const CResourceDirectory* directory);

    int32_t m_currentIndex = 0;
    gCStringArray m_texts;
    gCArray<uint32_t> m_values;
};

// Loads a list by name; null (and nothing left behind) when that fails.
CTextList* CreateTextList(const gCString& name, gCStream* stream, CResourceDirectory* directory);
