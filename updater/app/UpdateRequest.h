// The update request: the server's host and the request target that the window hands to the
// transfer manager.
#pragma once
#include "ProductFacts.h"
#include "gCString.h"

// The update server of released products.
extern const wchar_t* const kUpdateServerHost;

struct CUpdateRequest {
    gCString host;
    gCString target;
};

// Every character outside the plain URL characters (letters, digits, "-._~") as %XX of its
// UTF-8 bytes. Whole or not at all: out is left as it was when memory runs out.
gCResult PercentEncode(const gCString& value, gCString& out);

// The GET target with key, lang, version, buildtype, protocol, buildstring and platform in
// that order; test mode drops the /QVU prefix. A request is built whole or not at all: short of
// memory (5) target is left as it was, never sent with a parameter cut short.
gCResult BuildUpdateTarget(const CProductFacts& facts, const gCString& key, bool testMode, gCString& target);

// The local test server named by the "testmode" file's first line ("host:port" or a host),
// "localhost" when the file names none. Whole or not at all: short of memory (5) host is left
// as it was, never a name cut short.
gCResult TestServerFromMarker(const char* bytes, int32_t length, gCString& host);
