#include "CFileTypeList.h"

#include <windows.h>

#include <cwchar>

#include "FileTypeTable.h"

namespace {

// Rows past the groups close the table and are no types.
constexpr uint32_t kLastTypeRow = 22;

const wchar_t kAllFilesName[] = L"All Files (*.*)";

// Calls visit(part, length) for each non-empty part of a comma list until it returns false.
template <typename Visit>
void ForEachExtension(const wchar_t* extensions, Visit visit)
{
    const wchar_t* part = extensions;
    for (;;) {
        const wchar_t* end = part;
        while (*end && *end != L',')
            ++end;
        if (end > part && !visit(part, static_cast<int32_t>(end - part)))
            return;
        if (!*end)
            return;
        part = end + 1;
    }
}

// Writes the filter, or only counts its units while the buffer is null.
class CFilterWriter {
public:
    explicit CFilterWriter(wchar_t* out) : m_out(out) {}

    void Put(const wchar_t* text, int32_t count)
    {
        if (m_out)
            wmemcpy(m_out + m_count, text, static_cast<size_t>(count));
        m_count += count;
    }
    void Text(const wchar_t* text)
    {
        Put(text, static_cast<int32_t>(wcslen(text)));
        End();
    }
    // "*" before each extension of the comma list, ";" between them.
    void Pattern(const wchar_t* extensions)
    {
        bool first = true;
        ForEachExtension(extensions, [this, &first](const wchar_t* part, int32_t length) {
            if (!first)
                Put(L";", 1);
            Put(L"*", 1);
            Put(part, length);
            first = false;
            return true;
        });
        End();
    }
    void End() { Put(L"", 1); }
    int32_t Count() const { return m_count; }

private:
    wchar_t* m_out;
    int32_t m_count = 0;
};

void WriteFilter(const CFileTypeList& list, CFilterWriter& writer)
{
    for (int32_t i = 0; i < list.CustomCount(); ++i) {
        writer.Text(list.CustomAt(i).description.Text());
        writer.Pattern(list.CustomAt(i).extensions.Text());
    }
    for (int32_t i = 0; i < list.StandardCount(); ++i) {
        writer.Text(gFileTypeNames[list.StandardAt(i)]);
        writer.Pattern(gFileTypeExtensions[list.StandardAt(i)]);
    }
    if (list.GetAllFiles()) {
        writer.Text(kAllFilesName);
        writer.Pattern(gFileTypeExtensions[kAllFilesTypeIndex]);
    }
    writer.End();
}

} // namespace

gCResult CFileTypeList::AddStandardType(uint32_t typeIndex)
{
    if (typeIndex > kLastTypeRow || gFileTypeExtensions[typeIndex][0] == 0)
        return kBadParameter;
    return m_standard.Add(typeIndex);
}

gCResult CFileTypeList::AddCustomType(uint32_t typeId, const gCString& description, const gCString& extensions,
                                      uint32_t word)
{
    if (FirstExtension(extensions).IsEmpty())
        return kBadParameter;
    CFileTypeEntry entry;
    entry.typeId = typeId;
    entry.word = word;
    QV_RETURN_IF_FAILED(entry.description.SetString(description));
    QV_RETURN_IF_FAILED(entry.extensions.SetString(extensions));
    return m_custom.Add(entry);
}

uint32_t CFileTypeList::GetTypeAt(int32_t position) const
{
    if (position >= 0 && position < CustomCount())
        return m_custom[position].typeId;
    if (position >= CustomCount() && position < EntryCount())
        return m_standard[position - CustomCount()];
    return kAllFilesTypeIndex;
}

int32_t CFileTypeList::IndexOfType(int32_t type) const
{
    if (type == -1)
        return EntryCount();
    for (int32_t i = 0; i < CustomCount(); ++i)
        if (m_custom[i].typeId == static_cast<uint32_t>(type))
            return i;
    for (int32_t i = 0; i < StandardCount(); ++i)
        if (m_standard[i] == static_cast<uint32_t>(type))
            return CustomCount() + i;
    if (type == kAllFilesTypeIndex)
        return EntryCount();
    return -1;
}

gCString& CFileTypeList::GetExtensionAt(gCString& out, int32_t position) const
{
    // Short of memory the text stays as it was.
    if (position >= 0 && position < CustomCount())
        (void)out.SetString(m_custom[position].extensions);
    else if (position >= CustomCount() && position < EntryCount())
        (void)out.SetText(gFileTypeExtensions[m_standard[position - CustomCount()]]);
    else
        (void)out.SetText(L"");
    return out;
}

gCResult BuildFileTypeFilter(const CFileTypeList& list, CMemBlockT<wchar_t>& filter)
{
    CFilterWriter counter(nullptr);
    WriteFilter(list, counter);
    QV_RETURN_IF_FAILED(filter.Resize(counter.Count()));
    CFilterWriter writer(filter.Data());
    WriteFilter(list, writer);
    return kOk;
}

gCString FirstExtension(const gCString& extensions)
{
    gCString first;
    // Short of memory the text stays unset.
    (void)first.SetText(L"");
    ForEachExtension(extensions.Text(), [&first](const wchar_t* part, int32_t length) {
        (void)first.SetTextN(part, length);
        return false;
    });
    return first;
}

bool EndsWithOneOfExtensions(const gCString& path, const gCString& extensions)
{
    bool found = false;
    ForEachExtension(extensions.Text(), [&path, &found](const wchar_t* part, int32_t length) {
        found = length <= path.Length() && CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, part, length,
                                                          path.Text() + (path.Length() - length), length) == CSTR_EQUAL;
        return !found;
    });
    return found;
}

gCString LowerCaseText(const gCString& text)
{
    gCString lower(text);
    if (lower.Length() > 0 && lower.MutableBuffer())
        CharLowerBuffW(lower.MutableBuffer(), static_cast<DWORD>(lower.Length()));
    return lower;
}
