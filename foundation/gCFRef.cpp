#include "gCFRef.h"

#include "FileOps.h"

gCFRef::gCFRef() : gCFPath(gCString(), kPathKindRef) {}

gCFRef::gCFRef(const gCString& text) : gCFPath(text, kPathKindRef) {}

gCFRef gCFRef::gCFRefFromString(const gCString& text)
{
    return gCFRef(text);
}

bool gCFRef::Exists() const
{
    // The stored text is the full one: tested without a copy, so the answer never depends
    // on memory.
    return FileTextExists(GetStoredText());
}
