// The folder listing that spares the installer its looks for missing names: it may only ever
// call a name missing that a look would not find.
#include <gtest/gtest.h>

#include "ResultAssert.h"

#include <windows.h>

#include "FolderNames.h"
#include "TempFolder.h"

namespace {

TEST(FolderNames, OnlyNamesThatALookWouldNotFindAreMissing)
{
    TempFolder temp;
    ASSERT_TRUE(CreateDirectoryW((temp.Path() + L"sub").c_str(), nullptr));
    for (const wchar_t* name : {L"readme.txt", L"Table.DAT.old", L"sub\\x.tmp"})
        ASSERT_TRUE(WriteWholeFile(temp.File(name), Bytes{1}));
    const struct {
        const wchar_t* name;
        bool absent;
    } cases[] = {
        {L"readme.txt", false},    {L"README.TXT", false}, {L"table.dat.OLD", false},
        {L"sub", false},           {L"sub\\X.TMP", false}, {L"readme.txt.old", true},
        {L"sub\\y.tmp", true},     {L"none\\a.txt", true}, {L"readme~1.txt", false}, // a short name is left to a look
        {L"TABLE.dat.old", false}, {L"sub\\x.tmp", false}, {L"sub\\x", true},        // the folders' names merged
    };
    CFolderNames names;
    for (const auto& c : cases) {
        bool absent = !c.absent;
        EXPECT_OK(names.SurelyAbsent(temp.File(c.name), absent));
        EXPECT_EQ(c.absent, absent) << testing::PrintToString(std::wstring(c.name));
    }
    // Read once: a name made since is seen only once the folders are forgotten.
    ASSERT_TRUE(WriteWholeFile(temp.File(L"readme.txt.old"), Bytes{2}));
    bool absent = false;
    EXPECT_OK(names.SurelyAbsent(temp.File(L"readme.txt.old"), absent));
    EXPECT_TRUE(absent);
    names.Forget();
    EXPECT_OK(names.SurelyAbsent(temp.File(L"readme.txt.old"), absent));
    EXPECT_FALSE(absent);
}

} // namespace
