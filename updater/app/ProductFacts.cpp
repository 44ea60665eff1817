#include "ProductFacts.h"

#include "FileOps.h"
#include "LocalString.h"
#include "gCFRef.h"
#include "gCFile.h"

namespace {
// Each fact's name in the table and where it is kept.
const struct {
    const wchar_t* name;
    gCString CProductFacts::*field;
} kFacts[] = {{L"Local_Current", &CProductFacts::language},
              {L"QV2_Version", &CProductFacts::version},
              {L"QV2_FreeVersionFlag", &CProductFacts::freeFlag},
              {L"ZRN_InternalBuildString", &CProductFacts::buildString},
              {L"ZRN_Application", &CProductFacts::application}};
const int32_t kFactCount = sizeof kFacts / sizeof kFacts[0];

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
    gCFile file;
    if (file.OpenFullPath(tablePath, kAccessRead) != kOk)
        return FileExists(gCFRef(tablePath)) ? kFileOpenFailure : kFileNotFound;
    if (file.GetLength() > kMaxFactsBytes)
        return kOutOfRange;
    // Only the facts are kept, so the table's other records cost one pass and nothing more.
    const wchar_t* names[kFactCount];
    for (int32_t k = 0; k < kFactCount; ++k)
        names[k] = kFacts[k].name;
    gCStringTable table(1);
    table.SetWantedNames(names, kFactCount);
    if (table.Load(file) != kOk || table.GetCount() == 0)
        return kInvalidFile;
    for (const auto& fact : kFacts)
        this->*fact.field = Fact(table, fact.name);
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
