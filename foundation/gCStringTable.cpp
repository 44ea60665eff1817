#include "gCStringTable.h"

#include "RecordText.h"
#include "gCFile.h"

const wchar_t* const gCStringTable::kErrorText = L"%%String Table Error";

namespace {

// Variant n starts after the n-th '|' and runs to the next one; a start at the end of the
// text means the variant does not exist.
gCString SelectVariant(const gCString& text, int32_t n)
{
    int32_t length = text.Length();
    int32_t start = 0;
    for (int32_t passed = 0; passed < n && start < length; ++start)
        if (text[start] == L'|')
            ++passed;
    if (n < 0 || start >= length)
        return gCString(gCStringTable::kErrorText);
    int32_t end = start;
    while (end < length && text[end] != L'|')
        ++end;
    return text.Mid(start, end - start);
}

} // namespace

gCStringTable::gCStringTable(int32_t keepNames) : m_keepNames(keepNames) {}

gCStringTable::~gCStringTable()
{
    // Clearing cannot fail.
    (void)Clear();
}

gCResult gCStringTable::Clear()
{
    m_names.Release();
    m_texts.Release();
    m_ids.Release();
    return kOk;
}

gCResult gCStringTable::LoadFile(const gCString& pathText)
{
    gCFile file;
    QV_RETURN_IF_FAILED(OpenFileByName(file, pathText, kAccessRead));
    // Clearing cannot fail.
    (void)Clear();
    QV_RETURN_IF_FAILED(Parse(file, 1));
    return file.Close();
}

gCResult gCStringTable::Load(gCStream& stream)
{
    // Clearing cannot fail.
    (void)Clear();
    return Parse(stream, 1);
}

gCResult gCStringTable::Parse(gCStream& stream, int32_t replace)
{
    if (!ReadsAsFile(&stream))
        return kBadParameter;
    QV_RETURN_IF_FAILED(stream.Rewind());
    while (!stream.IsAtEnd()) {
        int32_t id = 0;
        uint32_t reserved = 0;
        gCString name, text;
        QV_RETURN_IF_FAILED(stream.ReadS32(id));
        QV_RETURN_IF_FAILED(stream.ReadU32(reserved));
        QV_RETURN_IF_FAILED(ReadRecordText(stream, name));
        QV_RETURN_IF_FAILED(ReadRecordText(stream, text));
        if (!IsWanted(name))
            continue;
        int32_t old = FindRecordMatch(static_cast<uint32_t>(id), name);
        if (old >= 0 && !replace)
            continue;
        // The new entry goes in before the old one leaves, so running out of memory loses
        // nothing.
        QV_RETURN_IF_FAILED(Append(static_cast<uint32_t>(id), text, name));
        if (old >= 0)
            RemoveEntry(old);
    }
    return kOk;
}

void gCStringTable::SetWantedNames(const wchar_t* const* names, int32_t count)
{
    m_wanted = names;
    m_wantedCount = names ? count : 0;
}

bool gCStringTable::IsWanted(const gCString& name) const
{
    if (!m_wanted)
        return true;
    for (int32_t i = 0; i < m_wantedCount; ++i)
        if (name.Equals(m_wanted[i]))
            return true;
    return false;
}

gCResult gCStringTable::Append(uint32_t id, const gCString& text, const gCString& name)
{
    QV_RETURN_IF_FAILED(m_ids.Add(id));
    gCResult r = m_texts.AddWhole(text);
    if (r == kOk && m_keepNames) {
        r = m_names.AddWhole(name);
        if (r != kOk)
            m_texts.RemoveAt(m_texts.Count() - 1);
    }
    if (r != kOk)
        m_ids.RemoveAt(m_ids.Count() - 1);
    return r;
}

void gCStringTable::RemoveEntry(int32_t index)
{
    m_ids.RemoveAt(index);
    m_texts.RemoveAt(index);
    if (m_keepNames)
        m_names.RemoveAt(index);
}

int32_t gCStringTable::FindID(uint32_t id) const
{
    for (int32_t i = 0; i < m_ids.Count(); ++i)
        if (m_ids[i] == id)
            return i;
    return -1;
}

// Records without a key name are told apart by their ids alone: an empty name is no key.
int32_t gCStringTable::FindName(const gCString& name) const
{
    if (!m_keepNames || name.IsEmpty())
        return -1;
    for (int32_t i = 0; i < m_names.Count(); ++i)
        if (m_names[i] == name)
            return i;
    return -1;
}

int32_t gCStringTable::FindRecordMatch(uint32_t id, const gCString& name) const
{
    int32_t byName = FindName(name);
    int32_t byId = FindID(id);
    if (byName < 0)
        return byId;
    return byId < 0 || byName < byId ? byName : byId;
}

gCString gCStringTable::GetTextByID(uint32_t id, int32_t variant) const
{
    int32_t index = FindID(id);
    return index < 0 ? gCString(kErrorText) : SelectVariant(m_texts[index], variant);
}

gCString gCStringTable::GetVariantByName(const gCString& name, int32_t variant) const
{
    int32_t index = FindName(name);
    return index < 0 ? gCString(kErrorText) : SelectVariant(m_texts[index], variant);
}

gCString gCStringTable::GetTextByName(const gCString& name) const
{
    int32_t index = FindName(name);
    return index < 0 ? gCString(kErrorText) : gCString(m_texts[index]);
}
