// A reference to a file by its full path, stored as given; it exists when the file system
// says so.
#pragma once
#include "gCFPath.h"

class gCFRef : public gCFPath {
public:
    gCFRef();
    explicit gCFRef(const gCString& text);
    static gCFRef gCFRefFromString(const gCString& text);

    bool Exists() const override;
};
