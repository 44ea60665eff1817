#include <gtest/gtest.h>

#include "ResultAssert.h"

#include <cstring>
#include <string>

#include "Expect.h"
#include "FailingAllocator.h"
#include "gCString.h"
#include "gCStringArray.h"

TEST(String, SlicesClampTheirBoundsAndNeverGiveUnset)
{
    const gCString abc(L"abc"), unset;
    const std::pair<gCString, std::wstring> cases[] = {
        {abc.Left(-1), L"abc"},   {abc.Left(2), L"ab"},     {abc.Right(0), L""},       {abc.Right(9), L"abc"},
        {abc.Mid(3, 3), L""},     {abc.Mid(1, 100), L"bc"}, {abc.Range(-5, 1), L"ab"}, {abc.Range(1, 99), L"bc"},
        {abc.Range(2, 1), L""},   {unset.Left(2), L""},     {unset.Range(0, 1), L""},  {abc.DropFirst(), L"bc"},
        {unset.DropFirst(), L""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(W(c.first), c.second);
        EXPECT_FALSE(c.first.IsUnset()) << testing::PrintToString(c.second);
    }
}

TEST(String, EditsStripTrimSearchAndJoin)
{
    gCString s, unset, joined(L"xabb");
    EXPECT_OK(s.InsertChar(L'x', 5));
    EXPECT_OK(s.InsertChar(L'a', -3));
    EXPECT_OK(s.InsertString(gCString(L"12"), 1));
    EXPECT_OK(unset.InsertString(gCString(L"hi"), 4));
    // The replacement is not searched again, and an empty search replaces nothing.
    EXPECT_EQ(joined.ReplaceAll(gCString(L"ab"), gCString(L"a")), 1);
    EXPECT_EQ(joined.ReplaceAll(gCString(L""), gCString(L"y")), 0);
    EXPECT_EQ(W(s) + L"|" + W(unset) + L"|" + W(joined), L"a12x|hi|xab");

    gCString zeros(L"007"), blanks(L"   "), padded(L"  a b  "), dots(L"a.b");
    zeros.StripLeading(L'0');
    EXPECT_EQ(W(zeros), L"7");
    blanks.Trim(gCString(L" "));
    EXPECT_EQ(blanks.Length(), 0);
    padded.Trim(gCString(L""));
    EXPECT_EQ(W(padded.Trimmed(gCString(L" "))), L"a b");
    EXPECT_EQ(W(padded), L"  a b  ");
    dots.ReplaceChar(L'.', L'\\');
    EXPECT_EQ(dots.FindFirstOf(gCString(L"/\\")), 1);
    EXPECT_EQ(dots.FindFirstOf(gCString(L"")), -1);
    EXPECT_EQ(W(gCString::ConcatChar(gCString::AppendNumber(gCString::ConcatText("n", gCString()), -42), '\xE9')),
              L"n-42\u00E9");
}

TEST(String, SplitAtTheFirstDelimiterOrAtEveryOne)
{
    const struct {
        const wchar_t *text, *delimiters;
        int32_t drop, result;
        const wchar_t *head, *tail;
    } cases[] = {
        {L"", L"=", 0, 1, L"old", L"old"}, {L"key=value", L"=", 0, 0, L"key", L"value"},
        {L"key", L"=", 0, 2, L"key", L""}, {L"=v]", L"=:", 1, 0, L"", L"v"},
        {L"k=", L"=", 1, 0, L"k", L""},
    };
    for (const auto& c : cases) {
        gCString head(L"old"), tail(L"old");
        EXPECT_EQ(gCString(c.text).Split(head, tail, gCString(c.delimiters), c.drop), c.result) << W(gCString(c.text));
        EXPECT_EQ(W(head) + L"|" + W(tail), std::wstring(c.head) + L"|" + c.tail);
    }
    // Empty pieces count; the array is appended to.
    gCStringArray pieces;
    EXPECT_EQ(gCString(L"").SplitToArray(pieces, L','), 0);
    EXPECT_EQ(gCString(L"a,,b").SplitToArray(pieces, L','), 3);
    ASSERT_EQ(gCString(L"c,").SplitToArray(pieces, L','), 5);
    EXPECT_EQ(W(pieces[1]) + L"|" + W(pieces[3]) + L"|" + W(pieces[4]), L"|c|");
}

TEST(String, NumbersAreParsedAndClassified)
{
    const std::pair<const wchar_t*, int32_t> values[] = {
        {L"0x1F", 31}, {L"-12", -12},   {L" \t42\r\n", 42}, {L"12a", 12}, {L"ff", 0},
        {L"FF", 165},  {L"-0x10", -16}, {L"", 0},           {L"x", 0},    {L"4294967297", 1},
    };
    for (const auto& c : values)
        EXPECT_EQ(gCString(c.first).ToInteger(), c.second) << testing::PrintToString(std::wstring(c.first));
    EXPECT_EQ(gCString().ToInteger(), 0);
    const std::pair<const wchar_t*, int32_t> integers[] = {{L"-", 1}, {L"12", 1}, {L"1-2", 0}, {L"", 0}};
    for (const auto& c : integers)
        EXPECT_EQ(gCString(c.first).IsInteger(), c.second) << testing::PrintToString(std::wstring(c.first));
    // A dot needs digits after it.
    const std::pair<const wchar_t*, int32_t> decimals[] = {{L".5", 1}, {L"1.", 0}, {L"1.2.3", 0}, {L"-3.25", 1}};
    for (const auto& c : decimals)
        EXPECT_EQ(gCString(c.first).IsDecimal(), c.second) << testing::PrintToString(std::wstring(c.first));
}

TEST(String, AnsiBothWaysInOneSharedBufferCutAt4095Bytes)
{
    gCString s;
    ASSERT_OK(s.SetAnsi("caf\xE9"));
    EXPECT_EQ(W(s), L"caf\u00E9");
    EXPECT_OK(s.SetAnsiN("abcdef", 3));
    EXPECT_EQ(W(s), L"abc");
    EXPECT_OK(s.SetAnsi(nullptr));
    EXPECT_FALSE(s.IsUnset());

    std::wstring longText(5000, L'q');
    longText[4094] = L'E';
    const char* ansi = gCString(longText.c_str()).ToAnsi();
    ASSERT_EQ(std::strlen(ansi), 4095u);
    EXPECT_EQ(ansi[4094], 'E');
    EXPECT_EQ(gCString(L"ab").ToAnsi(), ansi) << "one buffer";
    EXPECT_STREQ(ansi, "ab") << "a shorter text after a long one is terminated";
}

// Capacity is the next multiple of 16 strictly above the need and never shrinks. Nothing that
// may allocate (gtest's macros included) runs while the hooks fail.
TEST(String, CapacityGrowsBy16NeverShrinksAndRunningOutOfMemoryReturns5AndLeavesTheString)
{
    gCString s(L"keep"), fresh, full(L"123456789012345"), unset, copy;
    EXPECT_EQ(full.Capacity(), 16);
    EXPECT_EQ(gCString(nullptr).Capacity(), 16) << "empty, not unset";
    EXPECT_EQ(unset.Capacity(), 0);
    copy = unset;
    EXPECT_FALSE(copy.IsUnset()) << "assigning an unset string gives the empty state";
    gCResult setLong, appendEmpty, setFresh, appendChar;
    {
        FailingAllocator fail(0);
        setLong = s.SetText(L"a text that needs more than sixteen units");
        appendEmpty = s.Append(gCString(L""));
        setFresh = fresh.SetText(L"x");
        appendChar = full.AppendChar(L'y');
    }
    for (gCResult r : {setLong, setFresh, appendChar})
        EXPECT_RESULT(r, kOutOfMemory);
    EXPECT_OK(appendEmpty);
    EXPECT_TRUE(fresh.IsUnset()) << "a failed first allocation leaves the string unset";
    EXPECT_EQ(W(s) + W(full), L"keep123456789012345");
    EXPECT_EQ(s.Capacity() + full.Capacity(), 32);
    EXPECT_OK(s.SetText(L"1234567890123456"));
    EXPECT_EQ(s.Capacity(), 32);
    EXPECT_OK(s.SetText(L"x"));
    EXPECT_EQ(s.Capacity(), 32);
}
