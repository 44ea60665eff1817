#include <gtest/gtest.h>

#include "ResultAssert.h"

#include <string>

#include "Expect.h"
#include "FailingAllocator.h"
#include "gCString.h"
#include "gCStringArray.h"

TEST(StringCapacity, GrowsToNextMultipleOf16StrictlyAboveNeed)
{
    EXPECT_EQ(gCString(L"123456789012345").Capacity(), 16);
    EXPECT_EQ(gCString(L"1234567890123456").Capacity(), 32);
    gCString s(L"ab");
    EXPECT_OK(s.SetText(L"x"));
    EXPECT_EQ(s.Capacity(), 16) << "capacity never shrinks";
    EXPECT_OK(s.SetText(L"12345678901234567890123456789012"));
    EXPECT_EQ(s.Capacity(), 48);
    EXPECT_OK(s.SetText(L"a"));
    EXPECT_EQ(s.Capacity(), 48);
}

TEST(StringStates, UnsetAndEmptyAreDistinct)
{
    gCString unset;
    EXPECT_TRUE(unset.IsUnset());
    EXPECT_EQ(unset.Capacity(), 0);
    EXPECT_STREQ(unset.ToAnsi(), "");

    gCString empty(nullptr);
    EXPECT_FALSE(empty.IsUnset());
    EXPECT_EQ(empty.Length(), 0);
    EXPECT_EQ(empty.Capacity(), 16);
    EXPECT_EQ(empty.Buffer()[0], 0);

    gCString copy;
    copy = unset;
    EXPECT_FALSE(copy.IsUnset()) << "assigning an unset string gives the empty state";
    copy.Clear();
    EXPECT_TRUE(copy.IsUnset());
    gCString fromUnset(unset);
    EXPECT_FALSE(fromUnset.IsUnset());
}

TEST(StringEditing, SlicesFollowTheirClampingRules)
{
    gCString abc(L"abc");
    EXPECT_EQ(W(abc.Left(-1)), L"abc");
    EXPECT_EQ(W(abc.Left(3)), L"abc");
    EXPECT_EQ(W(abc.Left(2)), L"ab");
    EXPECT_FALSE(gCString().Left(2).IsUnset());
    EXPECT_EQ(W(abc.Right(0)), L"");
    EXPECT_FALSE(abc.Right(0).IsUnset());
    EXPECT_EQ(W(abc.Right(2)), L"bc");
    EXPECT_EQ(W(abc.Right(9)), L"abc");
    EXPECT_EQ(W(abc.Mid(3, 3)), L"");
    EXPECT_EQ(W(abc.Mid(1, 100)), L"bc");
    EXPECT_EQ(W(abc.DropFirst()), L"bc");
    EXPECT_EQ(W(gCString(L"").DropFirst()), L"");
    EXPECT_EQ(W(abc.Range(-5, 1)), L"ab");
    EXPECT_EQ(W(abc.Range(1, 99)), L"bc");
    EXPECT_EQ(W(abc.Range(2, 1)), L"");
    EXPECT_FALSE(gCString().Range(0, 1).IsUnset());
}

TEST(StringEditing, InsertDeleteStripAndTrim)
{
    gCString s;
    ASSERT_OK(s.InsertChar(L'x', 5));
    EXPECT_EQ(W(s), L"x");
    EXPECT_OK(s.InsertChar(L'a', -3));
    EXPECT_OK(s.InsertChar(L'z', 99));
    EXPECT_EQ(W(s), L"axz");
    gCString unset;
    EXPECT_OK(unset.InsertString(gCString(L"hi"), 4));
    EXPECT_EQ(W(unset), L"hi");
    EXPECT_OK(s.InsertString(gCString(L"12"), 1));
    EXPECT_EQ(W(s), L"a12xz");
    EXPECT_OK(s.InsertString(gCString(L""), 1));
    EXPECT_EQ(W(s), L"a12xz");
    s.Delete(1, 100);
    EXPECT_EQ(W(s), L"a");
    s.Delete(5, 1);
    EXPECT_EQ(W(s), L"a");

    gCString zeros(L"007");
    zeros.StripLeading(L'0');
    EXPECT_EQ(W(zeros), L"7");
    EXPECT_EQ(zeros.Length(), 1);
    zeros.StripLeading(L'0');
    EXPECT_EQ(W(zeros), L"7");

    gCString blanks(L"   ");
    blanks.Trim(gCString(L" "));
    EXPECT_EQ(blanks.Length(), 0);
    gCString padded(L"  a b  ");
    padded.Trim(gCString(L""));
    EXPECT_EQ(W(padded), L"  a b  ");
    EXPECT_EQ(W(padded.Trimmed(gCString(L" "))), L"a b");
    EXPECT_EQ(W(padded), L"  a b  ");

    gCString dots(L"a.b.c");
    dots.ReplaceChar(L'.', L'\\');
    EXPECT_EQ(W(dots), L"a\\b\\c");
    EXPECT_EQ(dots.FindFirstOf(gCString(L"\\")), 1);
    EXPECT_EQ(dots.FindFirstOf(gCString(L"")), -1);
    EXPECT_EQ(gCString().FindFirstOf(gCString(L"a")), -1);
}

TEST(StringConcat, JoinsTextsCharactersAndNumbers)
{
    EXPECT_EQ(W(gCString::Concat(gCString(), gCString(L"b"))), L"b");
    EXPECT_EQ(W(gCString::Concat(gCString(L"a"), gCString(L""))), L"a");
    EXPECT_EQ(W(gCString::ConcatText("x=", gCString(L"1"))), L"x=1");
    EXPECT_EQ(W(gCString::ConcatChar(gCString(L"a"), '\xE9')), L"a\u00E9");
    EXPECT_EQ(W(gCString::AppendNumber(gCString(L"n"), -42)), L"n-42");
}

TEST(StringSearch, ReplaceAllDoesNotRescanReplacement)
{
    gCString s(L"aXbXc");
    EXPECT_EQ(s.ReplaceAll(gCString(L"X"), gCString(L"--")), 2);
    EXPECT_EQ(W(s), L"a--b--c");
    gCString grow(L"aa");
    EXPECT_EQ(grow.ReplaceAll(gCString(L"a"), gCString(L"aa")), 2);
    EXPECT_EQ(W(grow), L"aaaa");
    gCString none(L"abc");
    EXPECT_EQ(none.ReplaceAll(gCString(L"z"), gCString(L"y")), 0);
    gCString unset;
    EXPECT_EQ(unset.ReplaceAll(gCString(L"z"), gCString(L"y")), 0);
    gCString shrink(L"xxxx");
    EXPECT_EQ(shrink.ReplaceAll(gCString(L"xx"), gCString(L"")), 2);
    EXPECT_EQ(W(shrink), L"");
}

TEST(StringSplit, KeyValueMissingDelimiterAndDropFlag)
{
    gCString head(L"old"), tail(L"old");
    EXPECT_EQ(gCString(L"").Split(head, tail, gCString(L"="), 0), 1);
    EXPECT_EQ(W(head), L"old");
    EXPECT_EQ(gCString().Split(head, tail, gCString(L"="), 0), 1);

    EXPECT_EQ(gCString(L"key=value").Split(head, tail, gCString(L"="), 0), 0);
    EXPECT_EQ(W(head), L"key");
    EXPECT_EQ(W(tail), L"value");
    EXPECT_EQ(gCString(L"key").Split(head, tail, gCString(L"="), 0), 2);
    EXPECT_EQ(W(head), L"key");
    EXPECT_EQ(W(tail), L"");
    EXPECT_FALSE(tail.IsUnset());
    EXPECT_EQ(gCString(L"=v]").Split(head, tail, gCString(L"=:"), 1), 0);
    EXPECT_EQ(W(head), L"");
    EXPECT_EQ(W(tail), L"v");
    EXPECT_EQ(gCString(L"k=").Split(head, tail, gCString(L"="), 1), 0);
    EXPECT_EQ(W(tail), L"");
}

TEST(StringSplit, ToArrayKeepsEmptyPiecesAndAppends)
{
    gCStringArray array;
    EXPECT_EQ(gCString(L"").SplitToArray(array, L','), 0);
    EXPECT_EQ(gCString(L"a,,b").SplitToArray(array, L','), 3);
    EXPECT_EQ(gCString(L"a,").SplitToArray(array, L','), 5);
    gCString out;
    EXPECT_EQ(W(array.GetAt(out, 0)), L"a");
    EXPECT_EQ(W(array.GetAt(out, 1)), L"");
    EXPECT_EQ(W(array.GetAt(out, 2)), L"b");
    EXPECT_EQ(W(array.GetAt(out, 3)), L"a");
    EXPECT_EQ(W(array.GetAt(out, 4)), L"");
    EXPECT_OK(array.AddDefault());
    EXPECT_TRUE(array[5].IsUnset());
    EXPECT_FALSE(array.GetAt(out, 5).IsUnset());
}

TEST(StringNumbers, ParsingAndClassification)
{
    struct Case {
        const wchar_t* text;
        int32_t value;
    };
    const Case cases[] = {{L"0x1F", 31}, {L"-12", -12}, {L" \t42\r\n", 42}, {L"12a", 12},
                          {L"0x10", 16}, {L"ff", 0},    {L"FF", 165},       {L"-0x10", -16},
                          {L"", 0},      {L"x", 0},     {L"4294967297", 1}};
    for (const Case& c : cases)
        EXPECT_EQ(gCString(c.text).ToInteger(), c.value) << testing::PrintToString(std::wstring(c.text));
    EXPECT_EQ(gCString().ToInteger(), 0);

    EXPECT_EQ(gCString(L"-").IsInteger(), 1);
    EXPECT_EQ(gCString(L"12").IsInteger(), 1);
    EXPECT_EQ(gCString(L"1-2").IsInteger(), 0);
    EXPECT_EQ(gCString(L"").IsInteger(), 0);
    EXPECT_EQ(gCString(L".5").IsDecimal(), 1);
    EXPECT_EQ(gCString(L"1.").IsDecimal(), 0);
    EXPECT_EQ(gCString(L"1.2.3").IsDecimal(), 0);
    EXPECT_EQ(gCString(L"-3.25").IsDecimal(), 1);
    EXPECT_EQ(gCString(L"7").IsDecimal(), 1);
}

TEST(StringAnsi, ConversionBothWaysAndTheSharedBuffer)
{
    gCString s;
    ASSERT_OK(s.SetAnsi("caf\xE9"));
    EXPECT_EQ(W(s), L"caf\u00E9");
    EXPECT_EQ(s.Length(), 4);
    EXPECT_STREQ(s.ToAnsi(), "caf\xE9");
    EXPECT_OK(s.SetAnsi(nullptr));
    EXPECT_FALSE(s.IsUnset());
    EXPECT_EQ(s.Length(), 0);
    EXPECT_OK(s.SetAnsiN("abcdef", 3));
    EXPECT_EQ(W(s), L"abc");

    const char* first = gCString(L"one").ToAnsi();
    const char* second = gCString(L"two").ToAnsi();
    EXPECT_EQ(first, second);
    EXPECT_STREQ(first, "two");
}

TEST(StringAnsi, LongTextIsCutAt4095Bytes)
{
    std::wstring longText(5000, L'q');
    longText[4094] = L'E';
    longText[4095] = L'X';
    gCString s(longText.c_str());
    const char* ansi = s.ToAnsi();
    ASSERT_EQ(std::strlen(ansi), 4095u);
    EXPECT_EQ(ansi[4094], 'E');
    gCString shortText(L"ab");
    EXPECT_STREQ(shortText.ToAnsi(), "ab") << "a shorter text after a long one is terminated";
}

// Nothing that may allocate (gtest's macros included) runs while the hooks fail.
TEST(StringOutOfMemory, FailuresReturn5AndLeaveTheStringUnchanged)
{
    gCString s(L"keep");
    gCString fresh;
    gCString full(L"123456789012345");
    gCString longInsert(L"0123456789abcdef");
    gCResult setLong, appendEmpty, setFresh, insert, insertChar, appendChar;
    {
        FailingAllocator fail(0);
        setLong = s.SetText(L"a text that needs more than sixteen units");
        appendEmpty = s.Append(gCString(L""));
        setFresh = fresh.SetText(L"x");
        insert = s.InsertString(longInsert, 0);
        insertChar = full.InsertChar(L'x', 0);
        appendChar = full.AppendChar(L'y');
    }
    EXPECT_EQ(setLong, 5);
    EXPECT_OK(appendEmpty);
    EXPECT_EQ(setFresh, 5);
    EXPECT_TRUE(fresh.IsUnset()) << "a failed first allocation leaves the string unset";
    EXPECT_EQ(insert, 5);
    EXPECT_EQ(W(s), L"keep");
    EXPECT_EQ(s.Capacity(), 16);
    EXPECT_EQ(insertChar, 5);
    EXPECT_EQ(appendChar, 5);
    EXPECT_EQ(W(full), L"123456789012345");
    EXPECT_EQ(full.Capacity(), 16);
}
