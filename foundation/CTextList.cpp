#include "CTextList.h"

#include <new>

#include "CResourceDirectory.h"
#include "RecordText.h"
#include "ReportError.h"
#include "ResourceTags.h"

CTextList::CTextList() : gCResourceObject(kTagTextList) {}

CTextList::~CTextList()
{
    m_values.Release();
    m_texts.Release();
}

gCResult CTextList::LoadByName(const gCString& name, gCStream* stream, CResourceDirectory* directory)
{
    CResourceSource source;
    QV_RETURN_IF_FAILED(LocateByName(name, stream, directory, source));
    return ReadBody(*source.stream, source.directory);
}

gCResult CTextList::LoadByID(uint32_t id, gCStream* stream, CResourceDirectory* directory)
{
    CResourceSource source;
    QV_RETURN_IF_FAILED(LocateByID(id, stream, directory, source));
    return ReadBody(*source.stream, source.directory);
}

// The count comes from the file: entries are read one by one until it is reached or a read
// fails, never allocated ahead.
gCResult CTextList::ReadBody(gCStream& stream, const CResourceDirectory* directory)
{
    uint32_t exclusivity = 0, count = 0;
    gCResult r = stream.ReadU32(exclusivity);
    if (r != kOk) {
        ReportError(kResourceReadFailure, "Error reading exclusivity");
        return r;
    }
    r = stream.ReadU32(count);
    if (r != kOk) {
        ReportError(kResourceReadFailure, "Error reading number of entries");
        return r;
    }
    uint32_t version = directory ? directory->GetVersion() : 1;
    if (version != 1 && version != 2)
        return kOk;
    for (uint32_t i = 0; i < count; ++i) {
        gCString text;
        uint32_t value = 0;
        QV_RETURN_IF_FAILED(ReadRecordText(stream, text));
        if (version == 2)
            QV_RETURN_IF_FAILED(stream.ReadU32(value));
        // An entry without memory for it is dropped; the rest still loads.
        (void)AddEntry(text, value);
    }
    return kOk;
}

gCResult CTextList::AddEntry(const gCString& text, uint32_t value)
{
    QV_RETURN_IF_FAILED(m_values.Add(value));
    gCResult r = m_texts.AddDefault();
    if (r == kOk) {
        r = m_texts[m_texts.Count() - 1].SetString(text);
        if (r != kOk)
            m_texts.RemoveAt(m_texts.Count() - 1);
    }
    if (r != kOk)
        m_values.RemoveAt(m_values.Count() - 1);
    return r;
}

gCString CTextList::GetEntryString(int32_t index)
{
    gCString text(L"");
    if (index < 0 || index >= m_texts.Count())
        return text;
    m_currentIndex = index;
    // Short of memory the text stays empty.
    (void)text.SetString(m_texts[index]);
    return text;
}

uint32_t CTextList::GetEntryValue(int32_t index) const
{
    return index >= 0 && index < m_values.Count() ? m_values[index] : 0;
}

CTextList* CreateTextList(const gCString& name, gCStream* stream, CResourceDirectory* directory)
{
    CTextList* list = new (std::nothrow) CTextList;
    if (list && list->LoadByName(name, stream, directory) != kOk) {
        delete list;
        list = nullptr;
    }
    return list;
}
