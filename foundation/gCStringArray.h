// A growable array of strings held by value; new elements start unset.
#pragma once
#include "gCArray.h"
#include "gCString.h"

class gCStringArray : public gCArray<gCString> {
public:
    // A copy of the element at index; an unset element gives the empty state.
    gCString& GetAt(gCString& out, int32_t index) const;
    // Appends a whole copy of text or nothing: an unset text, or a copy that memory could not
    // hold, is a piece missing and refused with 5.
    gCResult AddWhole(const gCString& text);
    // The same for a text moved in: nothing is copied, so only the array's growth can fail.
    gCResult AddWhole(gCString&& text);
};
