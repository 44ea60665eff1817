// The rights check: its answers from the system's rights query, the token when the query
// cannot answer, the red line of a step that fails, and the system layer on real files.
#include <gtest/gtest.h>

#include "ResultAssert.h"

#include <windows.h>

#include "CheckEffectiveRights.h"
#include "EngineFixture.h"

namespace {

// What the replaced system calls answer in one case (the fields in this order in the table).
struct Scenario {
    DWORD lookupError; // nonzero: the account lookup fails with it
    DWORD rightsResult;
    ACCESS_MASK rights;
    int token;
};
Scenario gScenario;

BOOL WINAPI FakeLookup(LPCWSTR system, LPCWSTR name, PSID sid, LPDWORD sidSize, LPWSTR domain, LPDWORD domainSize,
                       PSID_NAME_USE use)
{
    SetLastError(gScenario.lookupError);
    return !gScenario.lookupError && LookupAccountNameW(system, name, sid, sidSize, domain, domainSize, use);
}

DWORD WINAPI FakeRights(PACL, PTRUSTEEW, PACCESS_MASK mask)
{
    if (gScenario.rightsResult == ERROR_SUCCESS)
        *mask = gScenario.rights;
    return gScenario.rightsResult;
}

int FakeToken(const wchar_t*)
{
    return gScenario.token;
}

TEST(Rights, AnswersAndFailedStepsWithTheirRedLineThenTheSystemLayer)
{
    EngineFixture f;
    WriteWholeFile(f.temp.File(L"target.dat"), Ansi("x"));
    const DWORD kAnswered = ERROR_SUCCESS;
    const DWORD kNoQuery = ERROR_INVALID_FUNCTION;
    const struct {
        const char* what;
        const wchar_t* name;
        Scenario scenario;
        gCResult result;
        std::vector<std::wstring> lines;
    } cases[] = {
        {"write bit granted", L"target.dat", {0, kAnswered, FILE_WRITE_DATA | FILE_READ_DATA, 0}, 0, {}},
        {"read only", L"target.dat", {0, kAnswered, FILE_READ_DATA, 1}, 1, {}},
        {"query fails, token may write", L"target.dat", {0, kNoQuery, 0, 1}, 0, {}},
        {"query fails, token may not", L"target.dat", {0, kNoQuery, 0, 0}, 1, {}},
        {"query fails, token undecided", L"target.dat", {0, kNoQuery, 0, -1}, 1, {}},
        {"unknown account counts as writable", L"target.dat", {ERROR_NONE_MAPPED, kAnswered, 0, 0}, 0, {}},
        {"lookup buffer too small", L"target.dat", {ERROR_INSUFFICIENT_BUFFER, kAnswered, 0, 0}, 1, {L"!T595, 122"}},
        {"missing path", L"missing.dat", {0, kAnswered, FILE_WRITE_DATA, 1}, 1, {L"!T590, 2"}},
    };
    const CRightsApi previous = SetRightsApi(
        {GetFileSecurityW, GetSecurityDescriptorDacl, GetUserNameW, FakeLookup, IsValidSid, FakeRights, FakeToken});
    for (const auto& c : cases) {
        gScenario = c.scenario;
        f.host.events.clear();
        EXPECT_EQ(c.result, CheckEffectiveRightsOfText(f.temp.File(c.name), f.host)) << c.what;
        EXPECT_EQ(c.lines, f.host.StatusLines()) << c.what;
    }
    SetRightsApi(previous);

    // The system's own layer.
    const gCString readOnly = f.temp.File(L"locked.dat");
    WriteWholeFile(readOnly, Ansi("x"));
    SetFileAttributesW(readOnly.Text(), FILE_ATTRIBUTE_READONLY);
    f.host.events.clear();
    EXPECT_EQ(1, CheckEffectiveRightsOfText(readOnly, f.host));
    EXPECT_EQ(1, ProcessTokenMayWrite(f.temp.File(L"target.dat").Text()));
    EXPECT_EQ(0, ProcessTokenMayWrite(readOnly.Text()));
    EXPECT_EQ(-1, ProcessTokenMayWrite(f.temp.File(L"missing.dat").Text()));
    EXPECT_TRUE(f.host.events.empty());
}

} // namespace
