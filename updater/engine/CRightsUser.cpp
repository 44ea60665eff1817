#include "CRightsUser.h"

#include "CheckEffectiveRights.h"

namespace {

const DWORD kUserNameUnits = 200;
const DWORD kSidBytes = 1024;
const DWORD kDomainUnits = 1024;

} // namespace

gCResult CRightsUser::Find(const CRightsApi& api, int& failedStep, uint32_t& error)
{
    if (m_state != kNotLookedUp)
        return kOk;
    // The domain's name is asked for and never used.
    CMemBlockT<wchar_t> domain;
    if (m_sid.Resize(kSidBytes) != kOk || domain.Resize(kDomainUnits) != kOk)
        return kCreateFailure;

    wchar_t user[kUserNameUnits];
    DWORD userUnits = kUserNameUnits;
    if (!api.getUserName(user, &userUnits)) {
        failedStep = 4;
        error = GetLastError();
        return kGenericFailure;
    }
    DWORD sidSize = kSidBytes;
    DWORD domainUnits = kDomainUnits;
    SID_NAME_USE use;
    if (!api.lookupAccountName(nullptr, user, m_sid.Data(), &sidSize, domain.Data(), &domainUnits, &use)) {
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
            m_state = kNoAccount;
            return kOk;
        }
        failedStep = 5;
        error = GetLastError();
        return kGenericFailure;
    }
    if (!api.isValidSid(m_sid.Data())) {
        failedStep = 5;
        error = GetLastError();
        return kGenericFailure;
    }
    m_state = kFound;
    return kOk;
}

void CRightsUser::Forget()
{
    m_state = kNotLookedUp;
    m_sid.Free();
}
