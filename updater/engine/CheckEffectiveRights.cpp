#include "CheckEffectiveRights.h"

#include <cstdio>

#include "CMemBlockT.h"
#include "CQVUDesquasher.h"
#include "CRightsUser.h"
#include "LocalString.h"
#include "LocalTextIds.h"
#include "WinHandle.h"
#include "gCFPath.h"

namespace {

const int32_t kUsualDescriptorBytes = 1024;

CRightsApi gApi = GetSystemRightsApi();

// Posts "text 59, step, error" in red and answers 1.
gCResult FailStep(IUpdaterHost& host, int step, DWORD error)
{
    char detail[32];
    std::snprintf(detail, sizeof(detail), "%d, %lu", step, static_cast<unsigned long>(error));
    gCString tail;
    // Short of memory the line is shorter.
    (void)tail.SetAnsi(detail);
    PostLineBestEffort(host, gCString::Concat(LocalText(host, kTextRightsCheckFailed), tail), kLineRed);
    return 1;
}

// The descriptor with owner, group and DACL in one read, for both the rights query and the
// token's AccessCheck; a second read only for a descriptor larger than usual. 0; 1 with the
// failed step (0: the system gave no length, 1: it gave one and still failed) and its error;
// 5 when the block cannot be allocated.
gCResult ReadDescriptor(const wchar_t* path, CMemBlockT<char>& block, int& failedStep, DWORD& error)
{
    const SECURITY_INFORMATION what =
        OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    QV_RETURN_IF_FAILED(block.Resize(kUsualDescriptorBytes));
    DWORD needed = 0;
    if (gApi.getFileSecurity(path, what, block.Data(), kUsualDescriptorBytes, &needed))
        return kOk;
    error = GetLastError();
    failedStep = needed == 0 ? 0 : 1;
    if (needed <= kUsualDescriptorBytes)
        return kGenericFailure;
    QV_RETURN_IF_FAILED(block.Resize(static_cast<int32_t>(needed)));
    // Any failure here leaves the block unfilled, whatever length the call reports.
    if (gApi.getFileSecurity(path, what, block.Data(), needed, &needed))
        return kOk;
    error = GetLastError();
    return kGenericFailure;
}

// The process's token as AccessCheck wants it (an impersonation copy), made once: it is
// the same for every file of an installation. Null when it cannot be made.
HANDLE ImpersonationToken()
{
    static CKernelHandle token;
    if (token.IsValid())
        return token.Get();
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY, &raw))
        return nullptr;
    CKernelHandle process(raw);
    if (!DuplicateToken(process.Get(), SecurityImpersonation, &raw))
        return nullptr;
    token = CKernelHandle(raw);
    return token.Get();
}

} // namespace

const CRightsApi& GetSystemRightsApi()
{
    static const CRightsApi api = {
        GetFileSecurityW, GetSecurityDescriptorDacl,  GetUserNameW,        LookupAccountNameW,
        IsValidSid,       GetEffectiveRightsFromAclW, ProcessTokenMayWrite};
    return api;
}

CRightsApi SetRightsApi(const CRightsApi& api)
{
    CRightsApi previous = gApi;
    gApi = api;
    return previous;
}

int ProcessTokenMayWrite(PSECURITY_DESCRIPTOR descriptor)
{
    const HANDLE token = ImpersonationToken();
    if (!token)
        return -1;
    GENERIC_MAPPING mapping = {FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE, FILE_ALL_ACCESS};
    DWORD wanted = FILE_WRITE_DATA;
    MapGenericMask(&wanted, &mapping);
    PRIVILEGE_SET privileges;
    DWORD privilegesSize = sizeof(privileges);
    DWORD granted = 0;
    BOOL allowed = FALSE;
    if (!AccessCheck(descriptor, token, wanted, &mapping, &privileges, &privilegesSize, &granted, &allowed))
        return -1;
    return allowed && (granted & FILE_WRITE_DATA) ? 1 : 0;
}

gCResult CheckEffectiveRightsOfText(const gCString& pathText, IUpdaterHost& host, CRightsUser& user)
{
    CMemBlockT<char> descriptor;
    int failedStep = 0;
    DWORD error = 0;
    const gCResult read = ReadDescriptor(pathText.Text(), descriptor, failedStep, error);
    if (read == kGenericFailure)
        return FailStep(host, failedStep, error);
    if (read != kOk)
        return kCreateFailure;

    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    if (!gApi.getSecurityDescriptorDacl(descriptor.Data(), &present, &dacl, &defaulted))
        return FailStep(host, 2, GetLastError());
    if (!present)
        return FailStep(host, 3, GetLastError());

    uint32_t lookupError = 0;
    const gCResult found = user.Find(gApi, failedStep, lookupError);
    if (found == kGenericFailure)
        return FailStep(host, failedStep, lookupError);
    QV_RETURN_IF_FAILED(found);
    // An account that cannot be looked up counts as one that may write.
    if (!user.Sid())
        return kOk;

    TRUSTEEW trustee;
    BuildTrusteeWithSidW(&trustee, user.Sid());
    ACCESS_MASK mask = 0;
    if (gApi.getEffectiveRightsFromAcl(dacl, &trustee, &mask) == ERROR_SUCCESS)
        return (mask & FILE_WRITE_DATA) ? 0 : 1;
    // Some systems cannot answer the query (and leave the mask as it was): ask the token.
    return gApi.tokenMayWrite(descriptor.Data()) == 1 ? kOk : kGenericFailure;
}

gCResult CheckEffectiveRights(const gCFPath& path, CQVUDesquasher& installer)
{
    // A path that cannot be copied is not a path without rights.
    const gCString text = path.GetPathString();
    if (text.IsUnset())
        return kCreateFailure;
    return CheckEffectiveRightsOfText(text, installer.GetHost(), installer.GetRightsUser());
}
