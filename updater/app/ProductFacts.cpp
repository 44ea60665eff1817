#include "ProductFacts.h"

#include "LocalString.h"
#include "gCFile.h"

namespace {
// A fact is variant 0 of its text; a missing one is the empty text.
gCString Fact(const gCStringTable& table, const wchar_t* name)
{
    gCString value = table.GetVariantByName(gCString(name), 0);
    if (value.Equals(gCStringTable::kErrorText))
        (void)value.SetText(L""); // out of memory leaves the error text, which reads as missing
    value.Trim(gCString(L" \t"));
    return value;
}

bool IsMissing(const gCString& text)
{
    return text.IsEmpty() || text.Equals(gCStringTable::kErrorText);
}
} // namespace

gCResult CProductFacts::Read(const gCString& tablePath)
{
    gCStringTable table(1);
    gCFile file;
    if (file.OpenFullPath(tablePath, kAccessRead) != 0 || table.Load(file) != 0 || table.GetCount() == 0)
        return kFileNotFound;
    language = Fact(table, L"Local_Current");
    version = Fact(table, L"QV2_Version");
    freeFlag = Fact(table, L"QV2_FreeVersionFlag");
    buildString = Fact(table, L"ZRN_InternalBuildString");
    application = Fact(table, L"ZRN_Application");
    if (version.IsEmpty() || buildString.IsEmpty())
        return kKeyNotFound;
    return kOk;
}

uint32_t ChooseLanguageBlock(const gCStringTable& table, const gCString& language)
{
    if (language.IsEmpty())
        return 0;
    for (uint32_t block = 0; block < kMaxLanguageBlocks; ++block) {
        const uint32_t offset = block * kLanguageBlockStep;
        const gCString name = table.GetTextByID(kLocalTextBase + offset, 0);
        if (IsMissing(name))
            break;
        const gCString code = table.GetTextByID(kLocalTextBase + offset + 1, 0);
        if (name.EqualsNoCase(language.Text()) || (!IsMissing(code) && code.EqualsNoCase(language.Text())))
            return offset;
    }
    return 0;
}
