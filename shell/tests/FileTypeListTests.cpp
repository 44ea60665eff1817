// File-type lists, the filter text built from them and the save dialog's extension rule.
#include <gtest/gtest.h>

#include "ResultAssert.h"

#include <string>

#include "FailingAllocator.h"
#include "FileDialogs.h"
#include "Expect.h"

namespace {

std::wstring FilterOf(const CFileTypeList& list)
{
    CMemBlockT<wchar_t> filter;
    if (BuildFileTypeFilter(list, filter) != 0)
        return L"(failed)";
    return std::wstring(filter.Data(), static_cast<size_t>(filter.Count()));
}

// Every unit of a literal with inner zeros, up to its own terminator.
template <size_t N>
std::wstring Units(const wchar_t (&text)[N])
{
    return std::wstring(text, N - 1);
}

// Types 3 and 9 with "All Files" at the end.
void MakeBmpTxtAll(CFileTypeList& list)
{
    ASSERT_OK(list.AddStandardType(3));
    ASSERT_OK(list.AddStandardType(9));
    list.SetAllFiles(1);
}

} // namespace

TEST(FileTypeFilter, StandardTypesCustomEntriesAndAllFiles)
{
    CFileTypeList list;
    MakeBmpTxtAll(list);
    EXPECT_EQ(FilterOf(list), Units(L"BMP Image (*.bmp)\0*.bmp\0Text File (*.txt)\0*.txt\0"
                                    L"All Files (*.*)\0*.*\0\0"));

    // Custom entries come first, and comma lists become pattern lists.
    CFileTypeList custom;
    ASSERT_OK(custom.AddStandardType(21));
    ASSERT_OK(custom.AddCustomType(500, gCString(L"Pictures"), gCString(L".png,,.jpg,")));
    EXPECT_EQ(FilterOf(custom), Units(L"Pictures\0*.png;*.jpg\0All Image Files.\0*.bmp;*.jpg;*.png;*.psd\0\0"));

    CMemBlockT<wchar_t> filter;
    gCResult result;
    {
        FailingAllocator failing(0);
        result = BuildFileTypeFilter(custom, filter);
    }
    EXPECT_RESULT(result, kOutOfMemory);
}

TEST(FileTypeList, OnlyTypesWithExtensionsAreAccepted)
{
    CFileTypeList list;
    for (uint32_t row : {0u, 2u, 7u, 22u, 23u, 0xFFFFFFFFu})
        EXPECT_RESULT(list.AddStandardType(row), kBadParameter) << row;
    for (uint32_t row : {1u, 21u})
        EXPECT_OK(list.AddStandardType(row)) << row;
    for (const wchar_t* extensions : {L"", L",,"})
        EXPECT_RESULT(list.AddCustomType(7, gCString(L"None"), gCString(extensions)), kBadParameter);
    EXPECT_EQ(list.FilterCount(), 2);
}

TEST(FileTypeList, PositionsTypesAndExtensions)
{
    CFileTypeList list;
    ASSERT_OK(list.AddCustomType(500, gCString(L"Pictures"), gCString(L".png,.jpg")));
    MakeBmpTxtAll(list);

    struct Row {
        int32_t position;
        uint32_t type;
        const wchar_t* extension;
    };
    const Row rows[] = {
        {-1, 1, L""}, {0, 500, L".png,.jpg"}, {1, 3, L".bmp"}, {2, 9, L".txt"}, {3, 1, L""}, {4, 1, L""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.position);
        EXPECT_EQ(list.GetTypeAt(row.position), row.type);
        gCString extension(L"before");
        EXPECT_EQ(W(list.GetExtensionAt(extension, row.position)), row.extension);
    }

    const std::pair<int32_t, int32_t> indices[] = {{-1, 3}, {500, 0}, {9, 2}, {1, 3}, {15, -1}};
    for (const auto& index : indices)
        EXPECT_EQ(list.IndexOfType(index.first), index.second) << index.first;

    // Type 1 keeps the position after the entries without "All Files" at the end.
    list.SetAllFiles(0);
    EXPECT_EQ(list.IndexOfType(1), 3);
}

TEST(SaveExtension, AppendsTheChosenFiltersFirstExtensionWhenTheNameLacksIt)
{
    CFileTypeList list;
    MakeBmpTxtAll(list);
    CFileTypeList pictures;
    ASSERT_OK(pictures.AddCustomType(500, gCString(L"Pictures"), gCString(L".PNG,.jpg")));
    CFileTypeList archives;
    ASSERT_OK(archives.AddCustomType(600, gCString(L"Archives"), gCString(L".tar.gz,.tgz")));

    struct Row {
        const CFileTypeList* list;
        const wchar_t* chosen;
        int32_t filter;
        const wchar_t* result;
    };
    const Row rows[] = {
        {&list, L"C:\\a\\NAME.TXT", 2, L"C:\\a\\NAME.TXT"},
        {&list, L"C:\\a\\name.bmp", 2, L"C:\\a\\name.bmp.txt"},
        {&list, L"C:\\a.b\\name", 2, L"C:\\a.b\\name.txt"},
        {&list, L"C:\\a\\name.", 2, L"C:\\a\\name."},
        // "All Files" and indices that name no entry fall back to the first entry.
        {&list, L"C:\\a\\name", 3, L"C:\\a\\name.bmp"},
        {&list, L"C:\\a\\name.xyz", 3, L"C:\\a\\name.xyz"},
        // A comma list gives its first extension, and any of its extensions counts as typed.
        {&pictures, L"C:\\a\\pic", 1, L"C:\\a\\pic.png"},
        {&pictures, L"C:\\a\\pic.JPG", 1, L"C:\\a\\pic.JPG"},
        // An extension with a dot of its own is present when the name ends with it.
        {&archives, L"C:\\a\\data.TAR.GZ", 1, L"C:\\a\\data.TAR.GZ"},
        {&archives, L"C:\\a\\data.gz", 1, L"C:\\a\\data.gz.tar.gz"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(row.chosen)) + " filter " + std::to_string(row.filter));
        EXPECT_EQ(W(ApplySaveExtension(gCString(row.chosen), *row.list, row.filter)), row.result);
    }
}
