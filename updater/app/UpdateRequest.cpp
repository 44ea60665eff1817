#include "UpdateRequest.h"

#include <windows.h>

const wchar_t* const kUpdateServerHost = L"updates.tallowmere.com";

namespace {
bool IsPlain(wchar_t c)
{
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'-' || c == L'.' ||
           c == L'_' || c == L'~';
}

void AppendParameter(gCString& target, const wchar_t* name, const gCString& value, bool first)
{
    (void)target.AppendChar(first ? L'?' : L'&'); // a failed growth leaves a shorter request
    (void)target.AppendText(name);
    (void)target.AppendChar(L'=');
    (void)target.Append(PercentEncode(value));
}
} // namespace

gCString PercentEncode(const gCString& value)
{
    static const wchar_t kHex[] = L"0123456789ABCDEF";
    gCString out(L"");
    for (int32_t i = 0; i < value.Length(); ++i) {
        const wchar_t c = value[i];
        if (IsPlain(c)) {
            (void)out.AppendChar(c); // out of memory only shortens the value
            continue;
        }
        // A surrogate pair is one character of up to four UTF-8 bytes.
        const int32_t units = (c >= 0xD800 && c <= 0xDBFF && i + 1 < value.Length()) ? 2 : 1;
        char bytes[8];
        const int written =
            WideCharToMultiByte(CP_UTF8, 0, value.Text() + i, units, bytes, sizeof bytes, nullptr, nullptr);
        for (int k = 0; k < written; ++k) {
            const uint8_t b = static_cast<uint8_t>(bytes[k]);
            (void)out.AppendChar(L'%');
            (void)out.AppendChar(kHex[b >> 4]);
            (void)out.AppendChar(kHex[b & 15]);
        }
        i += units - 1;
    }
    return out;
}

gCString BuildUpdateTarget(const CProductFacts& facts, const gCString& key, bool testMode)
{
    gCString target(testMode ? L"/getupdate_v3.php" : L"/QVU/getupdate_v3.php");
    AppendParameter(target, L"key", key, true);
    AppendParameter(target, L"lang", facts.language, false);
    AppendParameter(target, L"version", facts.version, false);
    AppendParameter(target, L"buildtype", facts.freeFlag, false);
    AppendParameter(target, L"protocol", gCString(L"4"), false);
    AppendParameter(target, L"buildstring", facts.buildString, false);
    AppendParameter(target, L"platform", gCString(L"WIN32"), false);
    return target;
}

gCString TestServerFromMarker(const char* bytes, int32_t length)
{
    gCString host(L"");
    int32_t i = 0;
    // A byte-order mark from an editor is not part of the name.
    if (length >= 3 && static_cast<uint8_t>(bytes[0]) == 0xEF && static_cast<uint8_t>(bytes[1]) == 0xBB &&
        static_cast<uint8_t>(bytes[2]) == 0xBF)
        i = 3;
    for (; i < length && bytes[i] != '\r' && bytes[i] != '\n'; ++i) {
        const char c = bytes[i];
        if (c != ' ' && c != '\t')
            (void)host.AppendChar(static_cast<wchar_t>(static_cast<uint8_t>(c)));
    }
    if (host.IsEmpty())
        (void)host.SetText(L"localhost"); // out of memory: an empty host fails the lookup visibly
    return host;
}
