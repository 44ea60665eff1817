#include "ArchiveNames.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>

#include "CMemBlockT.h"

namespace {

bool IsSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

// Characters that are no part of a file name: drives and streams (':'), wildcards, redirection.
bool IsRefusedChar(wchar_t c)
{
    return c < 0x20 || c == L':' || c == L'*' || c == L'?' || c == L'"' || c == L'<' || c == L'>' || c == L'|';
}

// The first n units of text, upper-cased in ASCII, are name (of n units).
bool StartsAs(const wchar_t* text, const wchar_t* name, int32_t n)
{
    for (int32_t k = 0; k < n; ++k) {
        wchar_t c = text[k];
        if (c >= L'a' && c <= L'z')
            c = static_cast<wchar_t>(c - L'a' + L'A');
        if (c != name[k])
            return false;
    }
    return true;
}

// Windows opens a device for these in any folder, whatever extension follows ("nul.txt",
// "COM1 .tmp").
bool IsDeviceName(const wchar_t* text, int32_t length)
{
    static const wchar_t* const kDevices[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
    int32_t base = 0;
    while (base < length && text[base] != L'.')
        ++base;
    while (base > 0 && text[base - 1] == L' ')
        --base;
    for (const wchar_t* device : kDevices)
        if (static_cast<int32_t>(wcslen(device)) == base && StartsAs(text, device, base))
            return true;
    // COM0..COM9 and LPT0..LPT9, with the superscript digits that Windows takes as well.
    if (base != 4 || !(StartsAs(text, L"COM", 3) || StartsAs(text, L"LPT", 3)))
        return false;
    const wchar_t digit = text[3];
    return (digit >= L'0' && digit <= L'9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
}

bool HasInstallerSuffix(const wchar_t* text, int32_t length)
{
    if (length < 4)
        return false;
    const wchar_t* suffix = text + length - 4;
    return SameArchiveName(suffix, 4, L".old", 4) || SameArchiveName(suffix, 4, L".tmp", 4);
}

// longer is shorter followed by ".old" or ".tmp".
bool IsInstallerFileOf(const wchar_t* longer, int32_t longerLength, const wchar_t* shorter, int32_t shorterLength)
{
    if (longerLength != shorterLength + 4 || !SameArchiveName(longer, shorterLength, shorter, shorterLength))
        return false;
    return HasInstallerSuffix(longer, longerLength);
}

// A component that Windows would shorten (trailing '.' or ' ') may become "." or "..", or
// name another file than the one checked.
bool IsSafeComponent(const wchar_t* text, int32_t length)
{
    if (length == 0)
        return false;
    wchar_t last = text[length - 1];
    return last != L'.' && last != L' ' && !IsDeviceName(text, length);
}

} // namespace

bool ArchiveNameBefore(const wchar_t* a, int32_t lengthA, const wchar_t* b, int32_t lengthB)
{
    return CompareStringOrdinal(a, lengthA, b, lengthB, TRUE) == CSTR_LESS_THAN;
}

bool SameArchiveName(const wchar_t* a, int32_t lengthA, const wchar_t* b, int32_t lengthB)
{
    return lengthA == lengthB && CompareStringOrdinal(a, lengthA, b, lengthB, TRUE) == CSTR_EQUAL;
}

bool IsSafeArchiveName(const wchar_t* text, int32_t length)
{
    if (!text || length <= 0)
        return false;
    int32_t start = 0;
    for (int32_t i = 0; i <= length; ++i) {
        if (i < length) {
            if (IsRefusedChar(text[i]))
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

bool ArchiveNamesCollide(const wchar_t* a, int32_t lengthA, const wchar_t* b, int32_t lengthB)
{
    return SameArchiveName(a, lengthA, b, lengthB) || IsInstallerFileOf(a, lengthA, b, lengthB) ||
           IsInstallerFileOf(b, lengthB, a, lengthA);
}

gCResult CheckArchiveNamesDistinct(const ArchiveName* names, int32_t count)
{
    if (count < 2)
        return kOk;
    CMemBlockT<int32_t> order;
    QV_RETURN_IF_FAILED(order.Resize(count));
    int32_t* const first = order.Data();
    int32_t* const last = first + count;
    for (int32_t i = 0; i < count; ++i)
        first[i] = i;
    auto before = [names](int32_t at, const ArchiveName& key) {
        return ArchiveNameBefore(names[at].text, names[at].length, key.text, key.length);
    };
    std::sort(first, last, [&](int32_t a, int32_t b) { return before(a, names[b]); });
    // Names that reach one file lie side by side in this order.
    for (int32_t i = 1; i < count; ++i) {
        const ArchiveName& a = names[first[i - 1]];
        const ArchiveName& b = names[first[i]];
        if (SameArchiveName(a.text, a.length, b.text, b.length))
            return kGenericFailure;
    }
    // A name ending in ".old" or ".tmp" collides with a name that is the rest of it.
    for (int32_t i = 0; i < count; ++i) {
        if (!HasInstallerSuffix(names[i].text, names[i].length))
            continue;
        const ArchiveName base = {names[i].text, names[i].length - 4};
        const int32_t* found = std::lower_bound(first, last, base, before);
        if (found != last && SameArchiveName(names[*found].text, names[*found].length, base.text, base.length))
            return kGenericFailure;
    }
    return kOk;
}

bool IsProgramName(const wchar_t* text, int32_t length)
{
    return length >= 4 && SameArchiveName(text + length - 4, 4, L".exe", 4);
}
