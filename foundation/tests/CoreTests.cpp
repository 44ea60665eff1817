// The core units: the sine table, error boxes, the message hub, replaceable hooks, state traces, handle owners,
// arrays, memory blocks and strings, and the test kit's result assertions.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "ResultAssert.h"

#include <cstring>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "BoxCapture.h"
#include "CMemBlockT.h"
#include "CMessageHub.h"
#include "Expect.h"
#include "FailingAllocator.h"
#include "FakeHost.h"
#include "ReplaceableHook.h"
#include "ReportError.h"
#include "SinCos.h"
#include "StateTrace.h"
#include "WinHandle.h"
#include "gCArray.h"
#include "gCString.h"
#include "gCStringArray.h"

namespace {

FakeHost* gSeen = nullptr;
bool gGuardedDuringBox = false;

struct Listener : gCCmdTarget {
    explicit Listener(uint32_t r) : result(r) {}
    uint32_t OnNotify(uint32_t id, uint32_t, uint32_t) override
    {
        seen += id;
        return result;
    }
    uint32_t result;
    uint32_t seen = 0; // the sum of the ids notified
};

// A handle is an int; the traits record every close and refuse the ones they are told to.
std::vector<int> gClosed;
bool gRefuse = false;

template <bool KeepsRefused>
struct FakeTraits {
    using Type = int;
    static constexpr bool kKeepsRefused = KeepsRefused;
    static Type Invalid() { return -1; }
    static bool Close(Type h)
    {
        gClosed.push_back(h);
        return !gRefuse;
    }
};

struct QuietTraits {
    using Type = int;
    static Type Invalid() { return -1; }
    static void Close(Type h) { gClosed.push_back(h); }
};

// A kept handle is tried again when its owner ends; a gone one is never closed twice.
template <typename Owner>
void CheckClose(bool refuse, bool answer, bool stillHeld)
{
    gClosed.clear();
    gRefuse = refuse;
    {
        Owner owner(7);
        EXPECT_EQ(owner.Close(), answer);
        EXPECT_EQ(owner.IsValid(), stillHeld);
        gRefuse = false;
    }
    EXPECT_EQ(gClosed, stillHeld ? std::vector<int>({7, 7}) : std::vector<int>({7}));
}

// Brings an array to `held` elements at capacity `held`, then adds one more under the grow
// step `step`: the capacity it grows to.
int32_t CapacityAfterOneMore(int held, int32_t step = -1)
{
    gCArray<int> a;
    a.SetGrowStep(held - 1);
    for (int i = 0; i <= held; ++i) {
        if (i == held)
            a.SetGrowStep(step);
        EXPECT_OK(a.Add(i));
    }
    EXPECT_EQ(a[held], held);
    return a.Capacity();
}

} // namespace

// One turn takes 7999 steps; the last pair is one step into the next turn.
TEST(SinCos, TheTableTurnsOnceOver7999StepsAndOneStepMore)
{
    BuildSinCosTable();
    EXPECT_EQ(gSinCosTable[0].cosine, 1.0f);
    EXPECT_NEAR(gSinCosTable[7999].sine, 0.0f, 1e-6f);
    EXPECT_NEAR(gSinCosTable[8000].sine, 7.855e-4f, 1e-6f);
}

// While a box shows, work stops, the system's cursor shows and the timers below 32 are killed;
// a report raised meanwhile is dropped. Without an application the box still shows.
TEST(ReportError, ShowsTheCodesTextAndTheDetailOnceAtATimeWithWorkStopped)
{
    BoxCapture boxes;
    CUniqueWindow owner(CreateWindowExW(0, L"STATIC", L"t", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(owner.IsValid());
    ASSERT_NE(SetTimer(owner.Get(), 3, 100000, nullptr), 0u);
    ASSERT_NE(SetTimer(owner.Get(), 40, 100000, nullptr), 0u);
    {
        FakeHost host;
        gSeen = &host;
        host.mainWindow = owner.Get();
        boxes.onShow = [] {
            gGuardedDuringBox = !gSeen->heartbeatWork && gSeen->systemCursor;
            ReportError(9, "nested");
        };
        ReportError(5, "Widget xpsp.");
        EXPECT_TRUE(gGuardedDuringBox) << "work stopped and the system's cursor shown";
        EXPECT_TRUE(host.heartbeatWork && !host.systemCursor && host.ownCursor) << "all as before";
    }
    boxes.onShow = nullptr;
    ReportError(4, "");
    for (gCResult code : {0, 32, -1})
        ReportError(code, nullptr);
    std::vector<std::wstring> texts;
    for (const CapturedBox& box : boxes.Boxes())
        texts.push_back(box.text);
    EXPECT_EQ(texts, (std::vector<std::wstring>{L"Not enough memory to perform action.\nWidget xpsp.",
                                                L"User has cancelled operation.\n", L"Success!", L"Generic Failure.",
                                                L"Generic Failure."}));
    EXPECT_EQ(boxes.Boxes()[0].caption, L"Error.");
    EXPECT_EQ(boxes.Boxes()[0].style, static_cast<UINT>(MB_OK));
    EXPECT_FALSE(KillTimer(owner.Get(), 3)) << "timer 3 was already killed";
    EXPECT_TRUE(KillTimer(owner.Get(), 40)) << "timers from 32 up are left alone";
}

// Each setter hands back what was in place, so a test can restore it; null is the default again.
TEST(ReplaceableHook, SetHandsBackThePreviousAndNullPutsTheDefaultBack)
{
    using Function = int (*)();
    const Function fallback = [] { return 1; };
    const Function other = [] { return 2; };
    CReplaceableHook<Function> hook(fallback);
    const struct {
        Function set;
        Function previous;
        int called;
    } steps[] = {
        {other, fallback, 2}, {other, other, 2}, {nullptr, other, 1}, {nullptr, fallback, 1}, {other, fallback, 2}};
    for (const auto& step : steps) {
        EXPECT_EQ(hook.Set(step.set), step.previous);
        EXPECT_EQ(hook.Get()(), step.called);
    }
}

// A change reaches the sink by the names in the machine's table; a state it lacks is "unknown".
TEST(StateTrace, ChangesAreNamedByTheMachinesTable)
{
    static std::string seen;
    seen.clear();
    const StateTraceFn previous = SetStateTraceFunction([](const char* machine, const char* from, const char* to) {
        seen += std::string(machine) + ": " + from + " -> " + to + "|";
    });
    enum class Light { kRed = 3, kGreen = 7, kBlue };
    const StateName<Light> names[] = {{Light::kRed, "red"}, {Light::kGreen, "green"}};
    TraceStateChange("light", names, Light::kRed, Light::kGreen);
    TraceStateChange("light", names, Light::kGreen, Light::kBlue);
    SetStateTraceFunction(previous);
    EXPECT_EQ(seen, "light: red -> green|light: green -> unknown|");
}

TEST(MessageHub, FirstNonzeroWinsAndOrderIsKept)
{
    CMessageHub hub;
    EXPECT_EQ(hub.Broadcast(1, 0, 0), 0u);
    Listener a(0), b(7), c(9);
    for (Listener* l : {&a, &b, &c, &a})
        EXPECT_OK(hub.AddListener(l));
    EXPECT_EQ(hub.OnNotify(42, 1, 2), 7u);
    EXPECT_EQ(a.seen + b.seen + c.seen, 84u) << "a once, b once";
    hub.RemoveListener(&b);
    hub.RemoveListener(&a);
    EXPECT_EQ(hub.ListenerCount(), 2) << "one removal takes one entry";
    EXPECT_EQ(hub.Broadcast(1, 0, 0), 9u);
}

TEST(HandleOwner, TheTraitsDecideWhatARefusedCloseLeavesAndHandOversNeverCloseTwice)
{
    CheckClose<CUniqueHandle<FakeTraits<true>>>(false, true, false);
    CheckClose<CUniqueHandle<FakeTraits<true>>>(true, false, true);
    CheckClose<CUniqueHandle<FakeTraits<false>>>(true, false, false);
    CheckClose<CUniqueHandle<QuietTraits>>(false, true, false);
    // Put, release and move hand the handle over without closing it twice.
    gClosed.clear();
    {
        CUniqueHandle<QuietTraits> owner(1), other(3);
        *owner.Put() = 2; // the held handle is closed before the slot is handed out
        CUniqueHandle<QuietTraits> moved(std::move(owner));
        other = std::move(moved);
        EXPECT_EQ(gClosed, std::vector<int>({1, 3}));
        EXPECT_EQ(other.Release(), 2);
    }
    EXPECT_EQ(gClosed, std::vector<int>({1, 3})) << "a released handle is the caller's";
}

TEST(HandleOwner, ASelectionIsPutBackSoTheBitmapCanGo)
{
    CMemoryDC dc(CreateCompatibleDC(nullptr)), otherDC(CreateCompatibleDC(nullptr));
    const HGDIOBJ original = GetCurrentObject(dc.Get(), OBJ_BITMAP);
    CBitmapHandle bitmap(CreateBitmap(4, 4, 1, 32, nullptr));
    ASSERT_TRUE(bitmap.IsValid());
    {
        CSelectGuard selected, elsewhere;
        ASSERT_TRUE(selected.Select(dc.Get(), bitmap.Get()));
        EXPECT_FALSE(elsewhere.Select(otherDC.Get(), bitmap.Get())) << "a bitmap lives in one DC at a time";
    }
    EXPECT_EQ(GetCurrentObject(dc.Get(), OBJ_BITMAP), original);
    CSelectGuard refused;
    EXPECT_FALSE(refused.Select(dc.Get(), nullptr));
}

TEST(ArrayGrowth, AQuarterClampedTo8And2048OrTheFixedStepAndAFailedOneKeepsTheArrayOrTheBlock)
{
    // A fixed step below 0 still makes room for the element asked for.
    const struct {
        int held;
        int32_t step, capacity;
    } cases[] = {{8, -1, 16},   {100, -1, 125}, {20000, -1, 22048}, {10, -5, 11},
                 {10, -20, 11}, {10, 0, 11},    {10, 3, 13}};
    for (const auto& c : cases)
        EXPECT_EQ(CapacityAfterOneMore(c.held, c.step), c.capacity) << c.held << " " << c.step;

    // A memory block keeps its leading bytes on a resize, and all of them on a failed one.
    gCArray<int> a, empty;
    for (int i = 0; i < 9; ++i)
        ASSERT_OK(a.Add(i));
    const int* before = a.Data();
    CMemBlockT<char> block;
    ASSERT_OK(block.Resize(4));
    block.CopyFrom("abcdefgh", 8);
    gCResult grow, first, resize;
    {
        FailingAllocator fail(0);
        grow = a.Add(42);
        first = empty.Add(1);
        resize = block.Resize(1000);
    }
    for (gCResult r : {grow, first, resize})
        EXPECT_RESULT(r, kOutOfMemory);
    EXPECT_EQ(a.Count(), 9);
    EXPECT_EQ(a.Data(), before);
    EXPECT_EQ(empty.Data(), nullptr);
    ASSERT_OK(block.Resize(6));
    EXPECT_EQ(std::string(block.Data(), 4), "abcd");

    a.RemoveAt(1);
    a.RemoveAt(99);
    EXPECT_EQ(a.IndexOf(2), 1) << "removal keeps the order";
}

// A text that memory lost, before or during the copy, is refused and leaves no hole behind.
TEST(StringArray, AWholeCopyOrNothingIsAdded)
{
    gCStringArray texts;
    const gCString unset;
    EXPECT_RESULT(texts.AddWhole(unset), kOutOfMemory);
    const gCString text(L"abc");
    for (int n = 0; n < 2; ++n) {
        gCResult result = kOk;
        {
            FailingAllocator fail(n, FailingAllocator::kOnlyThis);
            result = texts.AddWhole(text);
        }
        EXPECT_RESULT(result, kOutOfMemory);
    }
    ASSERT_OK(texts.AddWhole(text));
    gCString moved(L"de");
    ASSERT_OK(texts.AddWhole(std::move(moved)));
    EXPECT_RESULT(texts.AddWhole(gCString()), kOutOfMemory); // an unset text moved in
    ASSERT_EQ(texts.Count(), 2);
    EXPECT_EQ(W(texts[0]), L"abc");
    EXPECT_EQ(W(texts[1]), L"de");
}

TEST(String, SlicesClampTheirBoundsAndSplitsCutAtTheFirstDelimiterOrAtEveryOne)
{
    const gCString abc(L"abc"), unset;
    const std::pair<gCString, std::wstring> slices[] = {
        {abc.Left(-1), L"abc"},   {abc.Left(2), L"ab"},     {abc.Right(0), L""},       {abc.Right(9), L"abc"},
        {abc.Mid(3, 3), L""},     {abc.Mid(1, 100), L"bc"}, {abc.Range(-5, 1), L"ab"}, {abc.Range(1, 99), L"bc"},
        {abc.Range(2, 1), L""},   {unset.Left(2), L""},     {unset.Range(0, 1), L""},  {abc.DropFirst(), L"bc"},
        {unset.DropFirst(), L""},
    };
    for (const auto& c : slices) {
        EXPECT_EQ(W(c.first), c.second);
        EXPECT_FALSE(c.first.IsUnset()) << testing::PrintToString(c.second);
    }

    // Splits at the first delimiter or at every one.
    const struct {
        const wchar_t *text, *delimiters;
        int32_t drop, result;
        const wchar_t *head, *tail;
    } splits[] = {
        {L"", L"=", 0, 1, L"old", L"old"}, {L"key=value", L"=", 0, 0, L"key", L"value"},
        {L"key", L"=", 0, 2, L"key", L""}, {L"=v]", L"=:", 1, 0, L"", L"v"},
        {L"k=", L"=", 1, 0, L"k", L""},
    };
    for (const auto& c : splits) {
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

namespace {
// Whether a result can be compared with a bare number: never, so that no "!= 0" comes back.
template <typename T, typename = void>
struct ComparesWithANumber : std::false_type {
};
template <typename T>
struct ComparesWithANumber<T, std::void_t<decltype(std::declval<T>() != 0)>> : std::true_type {
};
template <typename T, typename = void>
struct NumberComparesWith : std::false_type {
};
template <typename T>
struct NumberComparesWith<T, std::void_t<decltype(0 == std::declval<T>())>> : std::true_type {
};
static_assert(!ComparesWithANumber<gCResult>::value && !NumberComparesWith<gCResult>::value);
static_assert(ComparesWithANumber<int32_t>::value, "the test can tell");
static_assert(gCResult(kBusy) == kBusy && kOk != gCResult(kBusy) && gCResult(kOk) == gCResult(kOk));
} // namespace

// The kit's result assertions fail on other codes and name the codes they compare.
TEST(ResultAssert, FailsOnOtherCodesAndNamesThem)
{
    const gCResult ok = kOk, busy = kBusy, unnamed = kKeyNotFound + 1;
    EXPECT_OK(ok);
    EXPECT_RESULT(busy, kBusy);
    EXPECT_NONFATAL_FAILURE(EXPECT_OK(busy), "busy gave kBusy (7), not kOk");
    EXPECT_NONFATAL_FAILURE(EXPECT_RESULT(ok, kKeyNotFound), "ok gave kOk (0), not kKeyNotFound (31)");
    EXPECT_NONFATAL_FAILURE(EXPECT_OK(unnamed), "unnamed gave 32, not kOk");
}

namespace {
struct NotedFailure {
    gCResult code;
    std::string file;
    int32_t line;
    std::string expression;
};
std::vector<NotedFailure> gNoted;

void NoteInTest(gCResult code, const char* file, int32_t line, const char* expression)
{
    gNoted.push_back({code, file, line, expression});
}

gCResult Fails(gCResult code)
{
    return code;
}

const int32_t kFailingLine = __LINE__ + 3;
gCResult PassOn(gCResult code)
{
    QV_RETURN_IF_FAILED(Fails(code));
    return kOk;
}

gCResult PassOnExpectingWouldBlock(gCResult code)
{
    QV_RETURN_IF_FAILED_EXPECTED(Fails(code), kWouldBlock);
    return kOk;
}
} // namespace

// A failure passed on names where it began; an expected one and a success leave no trace.
TEST(FailureHook, AFailureShowsItsFileLineAndExpressionAndAnExpectedOneNothing)
{
    gNoted.clear();
    const FailureHook before = SetFailureHook(NoteInTest);
    EXPECT_RESULT(PassOn(kStreamFailure), kStreamFailure);
    EXPECT_OK(PassOn(kOk));
    EXPECT_RESULT(PassOnExpectingWouldBlock(kWouldBlock), kWouldBlock);
    EXPECT_RESULT(PassOnExpectingWouldBlock(kNetworkFatal), kNetworkFatal);
    (void)SetFailureHook(before); // the default again

    ASSERT_EQ(gNoted.size(), 2u);
    EXPECT_EQ(gNoted[0].code, kStreamFailure);
    EXPECT_NE(gNoted[0].file.find("CoreTests.cpp"), std::string::npos) << gNoted[0].file;
    EXPECT_EQ(gNoted[0].line, kFailingLine);
    EXPECT_EQ(gNoted[0].expression, "Fails(code)");
    EXPECT_EQ(gNoted[1].code, kNetworkFatal);
}
