// Small helpers for readable expectations.
#pragma once
#include <string>

#include "gCString.h"

// Test messages show the text, not the object's bytes.
inline std::wstring W(const gCString& text)
{
    return text.Text();
}
