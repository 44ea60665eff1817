#include <gtest/gtest.h>

#include "ResultAssert.h"

#include <windows.h>

#include "CheckEffectiveRights.h"
#include "EngineFixture.h"

namespace {

// What the replaced system calls answer in one test (the fields in this order in the tables).
struct Scenario {
    bool secondQueryFails = false;
    DWORD secondQueryNeeded = 0;
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
        *needed = gScenario.secondQueryNeeded;
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

class Rights : public testing::Test, public EngineFixture {
protected:
    void SetUp() override
    {
        m_previous =
            SetRightsApi({FakeFileSecurity, FakeDacl, GetUserNameW, FakeLookup, FakeValidSid, FakeRights, FakeToken});
        gScenario = Scenario();
        file = temp.File(L"target.dat");
        WriteWholeFile(file, Text8("x"));
    }
    void TearDown() override { SetRightsApi(m_previous); }

    gCResult Check(const gCString& path) { return CheckEffectiveRightsOfText(path, host); }

    gCString file;

private:
    CRightsApi m_previous;
};

TEST_F(Rights, AnswersFromTheQueryAndFallsBackToTheTokenOnlyWhenTheQueryFails)
{
    const struct {
        const char* what;
        DWORD rightsResult;
        ACCESS_MASK rights;
        int token;
        gCResult result;
    } cases[] = {
        {"write bit granted", ERROR_SUCCESS, FILE_WRITE_DATA | FILE_READ_DATA, 0, 0},
        {"read only", ERROR_SUCCESS, FILE_READ_DATA, 1, 1},
        {"query fails, token may write", ERROR_INVALID_FUNCTION, 0, 1, 0},
        {"query fails, token may not", ERROR_INVALID_FUNCTION, 0, 0, 1},
        {"query fails, token undecided", ERROR_INVALID_FUNCTION, 0, -1, 1},
    };
    for (const auto& c : cases) {
        gScenario.rightsResult = c.rightsResult;
        gScenario.rights = c.rights;
        gScenario.token = c.token;
        EXPECT_EQ(c.result, Check(file)) << c.what;
    }
    EXPECT_TRUE(host.events.empty());
}

TEST_F(Rights, FailedStepsPostOneRedLineEach)
{
    const struct {
        const char* what;
        Scenario scenario;
        bool missingPath;
        std::wstring line;
    } cases[] = {
        {"missing path", Scenario(), true, L"T590, 2"},
        {"second query fails with a length", Scenario{true, 64}, false, L"T591, 5"},
        {"second query fails without one", Scenario{true}, false, L"T591, 5"},
        {"no DACL", Scenario{false, 0, true}, false, L"T593, 1336"},
        {"lookup buffer too small", Scenario{false, 0, false, ERROR_INSUFFICIENT_BUFFER}, false, L"T595, 122"},
        {"invalid SID", Scenario{false, 0, false, 0, true}, false, L"T595, 1337"},
    };
    for (const auto& c : cases) {
        gScenario = c.scenario;
        host.events.clear();
        EXPECT_RESULT(Check(c.missingPath ? temp.File(L"missing.dat") : file), kGenericFailure) << c.what;
        std::vector<std::wstring> lines = {L"!" + c.line};
        EXPECT_EQ(lines, host.StatusLines()) << c.what;
    }
}

TEST_F(Rights, AccountThatCannotBeLookedUpCountsAsWritable)
{
    gScenario.lookupError = ERROR_NONE_MAPPED;
    EXPECT_OK(Check(file));
    EXPECT_TRUE(host.events.empty());
}

TEST_F(Rights, SystemLayerOnRealFiles)
{
    SetRightsApi(GetSystemRightsApi());
    EXPECT_OK(Check(file));
    gCString readOnly = temp.File(L"locked.dat");
    WriteWholeFile(readOnly, Text8("x"));
    SetFileAttributesW(readOnly.Text(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(1, Check(readOnly));
    EXPECT_EQ(1, ProcessTokenMayWrite(file.Text()));
    EXPECT_EQ(ProcessTokenMayWrite(readOnly.Text()), 0);
    EXPECT_EQ(-1, ProcessTokenMayWrite(temp.File(L"missing.dat").Text()));
    EXPECT_TRUE(host.events.empty());
}

} // namespace
