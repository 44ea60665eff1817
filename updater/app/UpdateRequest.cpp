#include "UpdateRequest.h"

#include <windows.h>

#include <utility>

const wchar_t* const kUpdateServerHost = L"updates.tallowmere.com";

namespace {
bool IsPlain(wchar_t c)
{
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'-' || c == L'.' ||
           c == L'_' || c == L'~';
}

gCResult AppendParameter(gCString& target, const wchar_t* name, const gCString& value, bool first)
{
    gCString encoded;
    QV_RETURN_IF_FAILED(PercentEncode(value, encoded));
    QV_RETURN_IF_FAILED(target.AppendChar(first ? L'?' : L'&'));
    QV_RETURN_IF_FAILED(target.AppendText(name));
    QV_RETURN_IF_FAILED(target.AppendChar(L'='));
    return target.Append(encoded);
}

// A fixed value whose text, lost to memory, would read as an empty one.
gCResult AppendFixedParameter(gCString& target, const wchar_t* name, const wchar_t* value)
{
    gCString text;
    QV_RETURN_IF_FAILED(text.SetText(value));
    return AppendParameter(target, name, text, false);
}

gCResult AppendEncoded(gCString& out, const wchar_t* units, int32_t count)
{
    static const wchar_t kHex[] = L"0123456789ABCDEF";
    char bytes[8];
    const int written = WideCharToMultiByte(CP_UTF8, 0, units, count, bytes, sizeof bytes, nullptr, nullptr);
    for (int k = 0; k < written; ++k) {
        const uint8_t b = static_cast<uint8_t>(bytes[k]);
        QV_RETURN_IF_FAILED(out.AppendChar(L'%'));
        QV_RETURN_IF_FAILED(out.AppendChar(kHex[b >> 4]));
        QV_RETURN_IF_FAILED(out.AppendChar(kHex[b & 15]));
    }
    return kOk;
}
} // namespace

gCResult PercentEncode(const gCString& value, gCString& out)
{
    gCString encoded(L"");
    if (encoded.IsUnset())
        return kOutOfMemory;
    for (int32_t i = 0; i < value.Length(); ++i) {
        const wchar_t c = value[i];
        if (IsPlain(c)) {
            QV_RETURN_IF_FAILED(encoded.AppendChar(c));
            continue;
        }
        // A surrogate pair is one character of up to four UTF-8 bytes.
        const int32_t units = (c >= 0xD800 && c <= 0xDBFF && i + 1 < value.Length()) ? 2 : 1;
        QV_RETURN_IF_FAILED(AppendEncoded(encoded, value.Text() + i, units));
        i += units - 1;
    }
    out = std::move(encoded);
    return kOk;
}

gCResult BuildUpdateTarget(const CProductFacts& facts, const gCString& key, bool testMode, gCString& target)
{
    gCString built(testMode ? L"/getupdate_v3.php" : L"/QVU/getupdate_v3.php");
    if (built.IsUnset())
        return kOutOfMemory;
    QV_RETURN_IF_FAILED(AppendParameter(built, L"key", key, true));
    QV_RETURN_IF_FAILED(AppendParameter(built, L"lang", facts.language, false));
    QV_RETURN_IF_FAILED(AppendParameter(built, L"version", facts.version, false));
    QV_RETURN_IF_FAILED(AppendParameter(built, L"buildtype", facts.freeFlag, false));
    QV_RETURN_IF_FAILED(AppendFixedParameter(built, L"protocol", L"4"));
    QV_RETURN_IF_FAILED(AppendParameter(built, L"buildstring", facts.buildString, false));
    QV_RETURN_IF_FAILED(AppendFixedParameter(built, L"platform", L"WIN32"));
    target = std::move(built);
    return kOk;
}

gCResult TestServerFromMarker(const char* bytes, int32_t length, gCString& host)
{
    gCString name;
    int32_t i = 0;
    // A byte-order mark from an editor is not part of the name.
    if (length >= 3 && static_cast<uint8_t>(bytes[0]) == 0xEF && static_cast<uint8_t>(bytes[1]) == 0xBB &&
        static_cast<uint8_t>(bytes[2]) == 0xBF)
        i = 3;
    for (; i < length && bytes[i] != '\r' && bytes[i] != '\n'; ++i) {
        const char c = bytes[i];
        if (c != ' ' && c != '\t')
            QV_RETURN_IF_FAILED(name.AppendChar(static_cast<wchar_t>(static_cast<uint8_t>(c))));
    }
    if (name.IsEmpty())
        QV_RETURN_IF_FAILED(name.SetText(L"localhost"));
    host = std::move(name);
    return kOk;
}
