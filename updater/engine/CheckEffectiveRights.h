// Whether the current user may write data to a file, from the file's access-control list as
// Windows applies it to the user. Failures of the system calls on the way are posted as red
// status lines.
#pragma once
#include <windows.h>

#include <aclapi.h>

#include "UpdaterHost.h"

class gCFPath;
class CQVUDesquasher;
class CRightsUser;

// The system calls of the check, replaceable because a descriptor's odd cases (no DACL, a
// failing query) cannot be made for real under every system.
struct CRightsApi {
    decltype(&GetFileSecurityW) getFileSecurity;
    decltype(&GetSecurityDescriptorDacl) getSecurityDescriptorDacl;
    decltype(&GetUserNameW) getUserName;
    decltype(&LookupAccountNameW) lookupAccountName;
    decltype(&IsValidSid) isValidSid;
    decltype(&GetEffectiveRightsFromAclW) getEffectiveRightsFromAcl;
    // Asked with the file's descriptor (owner, group and DACL) when the rights query fails: 1
    // when the process token may write the file's data, 0 when it may not, -1 when that cannot
    // be found out.
    int (*tokenMayWrite)(PSECURITY_DESCRIPTOR descriptor);
};

const CRightsApi& GetSystemRightsApi();
// Returns the layer that was in place.
CRightsApi SetRightsApi(const CRightsApi& api);

// 0 when the user may write the path (also when the account cannot be looked up for any
// reason but a small buffer); 1 when the write right is missing or a step failed (the step's
// line was posted); 24 when memory runs out on the way (nothing is known then). The user is
// the one the installer's run has looked up, or is looked up now.
gCResult CheckEffectiveRights(const gCFPath& path, CQVUDesquasher& installer);
gCResult CheckEffectiveRightsOfText(const gCString& pathText, IUpdaterHost& host, CRightsUser& user);

// The process token's answer through AccessCheck (the fallback of the system layer).
int ProcessTokenMayWrite(PSECURITY_DESCRIPTOR descriptor);
