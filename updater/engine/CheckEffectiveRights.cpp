#include "CheckEffectiveRights.h"

#include <cstdio>

#include "CMemBlockT.h"
#include "CQVUDesquasher.h"
#include "LocalString.h"
#include "LocalTextIds.h"
#include "WinHandle.h"
#include "gCFPath.h"

namespace {

const DWORD kUserNameUnits = 200;
const DWORD kSidBytes = 1024;
const DWORD kDomainUnits = 1024;
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

// The descriptor with owner, group and DACL, as AccessCheck wants it: 0, 1 when the system
// cannot give it, 5 when its block cannot be allocated.
gCResult ReadFullDescriptor(const wchar_t* path, CMemBlockT<char>& block)
{
    const SECURITY_INFORMATION what =
        OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    // Descriptors of files are small: one call mostly does, a second only for a large one.
    QV_RETURN_IF_FAILED(block.Resize(kUsualDescriptorBytes));
    DWORD needed = 0;
    if (GetFileSecurityW(path, what, block.Data(), kUsualDescriptorBytes, &needed) != 0)
        return kOk;
    if (needed <= kUsualDescriptorBytes)
        return kGenericFailure;
    QV_RETURN_IF_FAILED(block.Resize(static_cast<int32_t>(needed)));
    return GetFileSecurityW(path, what, block.Data(), needed, &needed) != 0 ? kOk : kGenericFailure;
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

int ProcessTokenMayWrite(const wchar_t* path)
{
    CMemBlockT<char> descriptor;
    const gCResult read = ReadFullDescriptor(path, descriptor);
    if (read != 0)
        return read == kOutOfMemory ? kTokenOutOfMemory : -1;
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
    if (!AccessCheck(descriptor.Data(), token, wanted, &mapping, &privileges, &privilegesSize, &granted, &allowed))
        return -1;
    return allowed && (granted & FILE_WRITE_DATA) ? 1 : 0;
}

gCResult CheckEffectiveRightsOfText(const gCString& pathText, IUpdaterHost& host)
{
    const wchar_t* path = pathText.Text();
    DWORD needed = 0;
    gApi.getFileSecurity(path, DACL_SECURITY_INFORMATION, nullptr, 0, &needed);
    if (needed == 0)
        return FailStep(host, 0, GetLastError());

    CMemBlockT<char> descriptor;
    if (descriptor.Resize(static_cast<int32_t>(needed)) != 0)
        return kCreateFailure;
    // Any failure here leaves the block unfilled, whatever length the call reports.
    if (!gApi.getFileSecurity(path, DACL_SECURITY_INFORMATION, descriptor.Data(), needed, &needed))
        return FailStep(host, 1, GetLastError());

    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    if (!gApi.getSecurityDescriptorDacl(descriptor.Data(), &present, &dacl, &defaulted))
        return FailStep(host, 2, GetLastError());
    if (!present)
        return FailStep(host, 3, GetLastError());

    CMemBlockT<char> sid;
    CMemBlockT<wchar_t> domain;
    if (sid.Resize(kSidBytes) != 0 || domain.Resize(kDomainUnits) != 0)
        return kCreateFailure;

    wchar_t user[kUserNameUnits];
    DWORD userUnits = kUserNameUnits;
    if (!gApi.getUserName(user, &userUnits))
        return FailStep(host, 4, GetLastError());

    DWORD sidSize = kSidBytes;
    DWORD domainUnits = kDomainUnits;
    SID_NAME_USE use;
    if (!gApi.lookupAccountName(nullptr, user, sid.Data(), &sidSize, domain.Data(), &domainUnits, &use)) {
        if (GetLastError() == ERROR_INSUFFICIENT_BUFFER)
            return FailStep(host, 5, GetLastError());
        return kOk;
    }
    if (!gApi.isValidSid(sid.Data()))
        return FailStep(host, 5, GetLastError());

    TRUSTEEW trustee;
    BuildTrusteeWithSidW(&trustee, sid.Data());
    ACCESS_MASK mask = 0;
    if (gApi.getEffectiveRightsFromAcl(dacl, &trustee, &mask) == ERROR_SUCCESS)
        return (mask & FILE_WRITE_DATA) ? 0 : 1;
    // Some systems cannot answer the query (and leave the mask as it was): ask the token.
    const int token = gApi.tokenMayWrite(path);
    if (token == kTokenOutOfMemory)
        return kCreateFailure;
    return token == 1 ? kOk : kGenericFailure;
}

gCResult CheckEffectiveRights(const gCFPath& path, CQVUDesquasher& installer)
{
    // A path that cannot be copied is not a path without rights.
    const gCString text = path.GetPathString();
    if (text.IsUnset())
        return kCreateFailure;
    return CheckEffectiveRightsOfText(text, installer.GetHost());
}
