// The user who runs the updater, as the rights check asks for it: looked up at the first check
// of an installation run and kept for the rest of it, since the user does not change within a
// run. A lookup that failed is not kept: the next check tries again.
#pragma once
#include <cstdint>

#include "CMemBlockT.h"
#include "gCResult.h"

struct CRightsApi;

class CRightsUser {
public:
    CRightsUser() = default;
    CRightsUser(const CRightsUser&) = delete;
    CRightsUser& operator=(const CRightsUser&) = delete;

    // Looks the user up through api unless this run has. 0 when the user is known; 1 when a
    // step failed, with its number (4 the user's name, 5 the account) and the system's error;
    // 24 when the SID or the domain name cannot be allocated.
    gCResult Find(const CRightsApi& api, int& failedStep, uint32_t& error);
    // The account's SID once Find answered 0; null when the account could not be looked up
    // for a reason other than a small buffer.
    void* Sid() { return m_state == kFound ? m_sid.Data() : nullptr; }
    // The next Find looks the user up again: a new installation run.
    void Forget();

private:
    enum State { kNotLookedUp, kFound, kNoAccount };
    State m_state = kNotLookedUp;
    CMemBlockT<char> m_sid;
};
