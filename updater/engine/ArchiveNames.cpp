#include "ArchiveNames.h"

namespace {

bool IsSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

// A component that Windows would shorten (trailing '.' or ' ') may become "." or "..", or
// name another file than the one checked.
bool IsSafeComponent(const wchar_t* text, int32_t length)
{
    if (length == 0)
        return false;
    wchar_t last = text[length - 1];
    return last != L'.' && last != L' ';
}

} // namespace

bool IsSafeArchiveName(const wchar_t* text, int32_t length)
{
    if (!text || length <= 0)
        return false;
    int32_t start = 0;
    for (int32_t i = 0; i <= length; ++i) {
        if (i < length) {
            if (text[i] == L':' || text[i] == 0 || text[i] < 0x20)
                return false;
            if (!IsSeparator(text[i]))
                continue;
        }
        if (!IsSafeComponent(text + start, i - start))
            return false;
        start = i + 1;
    }
    return true;
}
