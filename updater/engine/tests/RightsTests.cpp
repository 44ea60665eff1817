// The rights check: its answers from the system's rights query and the token, the red line of
// each step that fails, and the system layer on real files.
#include <gtest/gtest.h>

#include "ResultAssert.h"

#include <windows.h>

#include "CheckEffectiveRights.h"
#include "EngineFixture.h"

namespace {

// What the replaced system calls answer in one case (the fields in this order in the table).
struct Scenario {
    bool secondQueryFails = false;
    bool noDacl = false;
    DWORD lookupError = 0; // nonzero: the lookup fails with it
    bool invalidSid = false;
    DWORD rightsResult = ERROR_SUCCESS;
    ACCESS_MASK rights = 0;
    int token = -1;
};
Scenario gScenario;

BOOL WINAPI FakeFileSecurity(LPCWSTR path, SECURITY_INFORMATION what, PSECURITY_DESCRIPTOR sd, DWORD length,
                             LPDWORD needed)
{
    if (sd && gScenario.secondQueryFails) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return GetFileSecurityW(path, what, sd, length, needed);
}

BOOL WINAPI FakeDacl(PSECURITY_DESCRIPTOR sd, LPBOOL present, PACL* dacl, LPBOOL defaulted)
{
    BOOL ok = GetSecurityDescriptorDacl(sd, present, dacl, defaulted);
    if (gScenario.noDacl) {
        *present = FALSE;
        SetLastError(1336);
    }
    return ok;
}

BOOL WINAPI FakeLookup(LPCWSTR system, LPCWSTR name, PSID sid, LPDWORD sidSize, LPWSTR domain, LPDWORD domainSize,
                       PSID_NAME_USE use)
{
    if (gScenario.lookupError) {
        SetLastError(gScenario.lookupError);
        return FALSE;
    }
    return LookupAccountNameW(system, name, sid, sidSize, domain, domainSize, use);
}

BOOL WINAPI FakeValidSid(PSID sid)
{
    if (gScenario.invalidSid) {
        SetLastError(1337);
        return FALSE;
    }
    return IsValidSid(sid);
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

TEST(Rights, AnswersAndFailedStepsWithOneRedLineEach)
{
    EngineFixture f;
    const gCString file = f.temp.File(L"target.dat");
    WriteWholeFile(file, Text8("x"));
    const DWORD kNoQuery = ERROR_INVALID_FUNCTION;
    const struct {
        const char* what;
        Scenario scenario;
        gCResult result;
        std::wstring line;
    } cases[] = {
        {"write bit granted", {false, false, 0, false, ERROR_SUCCESS, FILE_WRITE_DATA | FILE_READ_DATA, 0}, 0, L""},
        {"read only", {false, false, 0, false, ERROR_SUCCESS, FILE_READ_DATA, 1}, 1, L""},
        {"query fails, token may write", {false, false, 0, false, kNoQuery, 0, 1}, 0, L""},
        {"query fails, token may not", {false, false, 0, false, kNoQuery, 0, 0}, 1, L""},
        {"query fails, token undecided", {false, false, 0, false, kNoQuery, 0, -1}, 1, L""},
        {"account that cannot be looked up counts as writable", {false, false, ERROR_NONE_MAPPED}, 0, L""},
        {"missing path", {}, 1, L"T590, 2"},
        {"second query fails", {true}, 1, L"T591, 5"},
        {"no DACL", {false, true}, 1, L"T593, 1336"},
        {"lookup buffer too small", {false, false, ERROR_INSUFFICIENT_BUFFER}, 1, L"T595, 122"},
        {"invalid SID", {false, false, 0, true}, 1, L"T595, 1337"},
    };
    const CRightsApi previous =
        SetRightsApi({FakeFileSecurity, FakeDacl, GetUserNameW, FakeLookup, FakeValidSid, FakeRights, FakeToken});
    for (const auto& c : cases) {
        gScenario = c.scenario;
        f.host.events.clear();
        const bool missing = c.line == L"T590, 2";
        EXPECT_EQ(c.result, CheckEffectiveRightsOfText(missing ? f.temp.File(L"missing.dat") : file, f.host)) << c.what;
        EXPECT_EQ(c.line.empty() ? std::vector<std::wstring>() : std::vector<std::wstring>{L"!" + c.line},
                  f.host.StatusLines())
            << c.what;
    }
    SetRightsApi(previous);
}

TEST(Rights, SystemLayerOnRealFiles)
{
    EngineFixture f;
    const gCString file = f.temp.File(L"target.dat");
    const gCString readOnly = f.temp.File(L"locked.dat");
    WriteWholeFile(file, Text8("x"));
    WriteWholeFile(readOnly, Text8("x"));
    SetFileAttributesW(readOnly.Text(), FILE_ATTRIBUTE_READONLY);
    EXPECT_OK(CheckEffectiveRightsOfText(file, f.host));
    EXPECT_EQ(1, CheckEffectiveRightsOfText(readOnly, f.host));
    EXPECT_EQ(1, ProcessTokenMayWrite(file.Text()));
    EXPECT_EQ(0, ProcessTokenMayWrite(readOnly.Text()));
    EXPECT_EQ(-1, ProcessTokenMayWrite(f.temp.File(L"missing.dat").Text()));
    EXPECT_TRUE(f.host.events.empty());
}

} // namespace
