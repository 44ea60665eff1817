// The rights check: its answers from the system's rights query, the token when the query
// cannot answer, the red line of a step that fails, the user looked up once per installation
// run, and the system layer on real files.
#include <gtest/gtest.h>

#include "ResultAssert.h"

#include <windows.h>

#include "BoxCapture.h"
#include "CRightsUser.h"
#include "CheckEffectiveRights.h"
#include "EngineFixture.h"

namespace {

// What the replaced system calls answer in one case (the fields in this order in the table).
struct Scenario {
    DWORD lookupError; // nonzero: the account lookup fails with it
    DWORD rightsResult;
    ACCESS_MASK rights;
    int token;
    DWORD reported = 0;  // nonzero: the descriptor's length as the read reports it
    DWORD readError = 0; // nonzero: a read of the reported length fails with it
    DWORD nameError = 0; // nonzero: the user's name cannot be read
};
Scenario gScenario;

// How often the user's identity was asked for.
int gUserNames = 0;
int gLookups = 0;

BOOL WINAPI CountedUserName(LPWSTR name, LPDWORD units)
{
    ++gUserNames;
    SetLastError(gScenario.nameError);
    return !gScenario.nameError && GetUserNameW(name, units);
}

BOOL WINAPI FakeSecurity(LPCWSTR path, SECURITY_INFORMATION what, PSECURITY_DESCRIPTOR descriptor, DWORD bytes,
                         LPDWORD needed)
{
    if (gScenario.reported && (bytes < gScenario.reported || gScenario.readError)) {
        *needed = gScenario.reported;
        SetLastError(bytes < gScenario.reported ? ERROR_INSUFFICIENT_BUFFER : gScenario.readError);
        return FALSE;
    }
    return GetFileSecurityW(path, what, descriptor, bytes, needed);
}

BOOL WINAPI FakeLookup(LPCWSTR system, LPCWSTR name, PSID sid, LPDWORD sidSize, LPWSTR domain, LPDWORD domainSize,
                       PSID_NAME_USE use)
{
    ++gLookups;
    SetLastError(gScenario.lookupError);
    return !gScenario.lookupError && LookupAccountNameW(system, name, sid, sidSize, domain, domainSize, use);
}

DWORD WINAPI FakeRights(PACL, PTRUSTEEW, PACCESS_MASK mask)
{
    if (gScenario.rightsResult == ERROR_SUCCESS)
        *mask = gScenario.rights;
    return gScenario.rightsResult;
}

int FakeToken(PSECURITY_DESCRIPTOR)
{
    return gScenario.token;
}

const CRightsApi kFakes = {FakeSecurity, GetSecurityDescriptorDacl, CountedUserName, FakeLookup, IsValidSid, FakeRights,
                           FakeToken};

TEST(Rights, AnswersAndFailedStepsWithTheirRedLineThenTheSystemLayer)
{
    EngineFixture f;
    WriteWholeFile(f.temp.File(L"target.dat"), Ansi("x"));
    const DWORD kAnswered = ERROR_SUCCESS;
    const DWORD kNoQuery = ERROR_INVALID_FUNCTION;
    // Each case asks as often as it says within one installation run; each answer is the same,
    // and the user is looked up as often as it says.
    const struct {
        const char* what;
        const wchar_t* name;
        Scenario scenario;
        int asks;
        gCResult result;
        int lookups;
        std::vector<std::wstring> lines;
    } cases[] = {
        {"write bit granted", L"target.dat", {0, kAnswered, FILE_WRITE_DATA | FILE_READ_DATA, 0}, 3, 0, 1, {}},
        {"read only", L"target.dat", {0, kAnswered, FILE_READ_DATA, 1}, 2, 1, 1, {}},
        {"query fails, token may write", L"target.dat", {0, kNoQuery, 0, 1}, 1, 0, 1, {}},
        {"query fails, token may not", L"target.dat", {0, kNoQuery, 0, 0}, 1, 1, 1, {}},
        {"query fails, token undecided", L"target.dat", {0, kNoQuery, 0, -1}, 1, 1, 1, {}},
        {"unknown account counts as writable", L"target.dat", {ERROR_NONE_MAPPED, kAnswered, 0, 0}, 2, 0, 1, {}},
        {"lookup buffer too small, tried again",
         L"target.dat",
         {ERROR_INSUFFICIENT_BUFFER, kAnswered, 0, 0},
         2,
         1,
         2,
         {L"!T595, 122", L"!T595, 122"}},
        {"missing path, no lookup", L"missing.dat", {0, kAnswered, FILE_WRITE_DATA, 1}, 1, 1, 0, {L"!T590, 2"}},
        {"large descriptor, read again", L"target.dat", {0, kAnswered, FILE_WRITE_DATA, 0, 4096}, 1, 0, 1, {}},
        {"read fails with a length", L"target.dat", {0, kAnswered, FILE_WRITE_DATA, 1, 64, 5}, 1, 1, 0, {L"!T591, 5"}},
        {"second read fails", L"target.dat", {0, kAnswered, FILE_WRITE_DATA, 1, 4096, 5}, 1, 1, 0, {L"!T591, 5"}},
        {"user name unreadable, tried again",
         L"target.dat",
         {0, kAnswered, FILE_WRITE_DATA, 1, 0, 0, ERROR_ACCESS_DENIED},
         2,
         1,
         2,
         {L"!T594, 5", L"!T594, 5"}},
    };
    const CRightsApi previous = SetRightsApi(kFakes);
    for (const auto& c : cases) {
        gScenario = c.scenario;
        gUserNames = gLookups = 0;
        f.host.events.clear();
        CRightsUser user;
        for (int ask = 0; ask < c.asks; ++ask)
            EXPECT_EQ(c.result, CheckEffectiveRightsOfText(f.temp.File(c.name), f.host, user)) << c.what;
        EXPECT_EQ(c.lines, f.host.StatusLines()) << c.what;
        EXPECT_EQ(c.lookups, gUserNames) << c.what;
        // A user without a name is not looked up.
        EXPECT_EQ(c.scenario.nameError ? 0 : c.lookups, gLookups) << c.what;
    }
    SetRightsApi(previous);

    // The system's own layer (under Wine the rights query fails and the token answers).
    const gCString readOnly = f.temp.File(L"locked.dat");
    WriteWholeFile(readOnly, Ansi("x"));
    SetFileAttributesW(readOnly.Text(), FILE_ATTRIBUTE_READONLY);
    f.host.events.clear();
    CRightsUser user;
    EXPECT_OK(CheckEffectiveRightsOfText(f.temp.File(L"target.dat"), f.host, user));
    EXPECT_RESULT(CheckEffectiveRightsOfText(readOnly, f.host, user), kGenericFailure);
    EXPECT_TRUE(f.host.events.empty());
    // The token on the descriptors as the check reads them.
    auto tokenMayWrite = [](const gCString& path) {
        Bytes descriptor(4096);
        DWORD needed = 0;
        const SECURITY_INFORMATION what =
            OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
        if (!GetFileSecurityW(path.Text(), what, descriptor.data(), 4096, &needed))
            return -2;
        return ProcessTokenMayWrite(descriptor.data());
    };
    EXPECT_EQ(1, tokenMayWrite(f.temp.File(L"target.dat")));
    EXPECT_EQ(0, tokenMayWrite(readOnly));
}

// The installer's runs: the first is refused at its first file, asked twice, the second
// replaces three files; each run looks the user up once.
TEST(Rights, EachInstallationRunLooksTheUserUpOnce)
{
    EngineFixture f;
    f.Lay(kOriginal, L"readme.txt");
    const CRightsApi previous = SetRightsApi(kFakes);
    gUserNames = gLookups = 0;
    BoxCapture boxes;
    gScenario = {0, ERROR_SUCCESS, FILE_READ_DATA, 0};
    EXPECT_RESULT(f.Install(Archive()), kGenericFailure);
    EXPECT_EQ(1, gUserNames);
    EXPECT_EQ(1, gLookups);
    gScenario.rights = FILE_WRITE_DATA;
    EXPECT_OK(f.Install(Archive()));
    SetRightsApi(previous);
    EXPECT_EQ(2, gUserNames);
    EXPECT_EQ(2, gLookups);
    EXPECT_EQ(kUpdated, f.Tree());
}

} // namespace
