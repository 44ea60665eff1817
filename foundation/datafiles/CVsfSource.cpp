#include "CVsfSource.h"

#include <windows.h>

namespace {

// A whole unsigned decimal number; false for anything else.
bool ParseNumber(const gCString& text, uint64_t limit, uint64_t& value)
{
    if (text.Length() == 0)
        return false;
    value = 0;
    for (int32_t i = 0; i < text.Length(); ++i) {
        wchar_t c = text[i];
        if (c < L'0' || c > L'9')
            return false;
        value = value * 10 + static_cast<uint64_t>(c - L'0');
        if (value > limit)
            return false;
    }
    return true;
}

int32_t FindChar(const gCString& text, wchar_t c, int32_t from)
{
    for (int32_t i = from; i < text.Length(); ++i)
        if (text[i] == c)
            return i;
    return -1;
}

gCResult DecodeUtf8(const char* bytes, int32_t n, gCString& out)
{
    if (n == 0)
        return out.SetText(L"");
    int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes, n, nullptr, 0);
    if (units <= 0)
        return kTextResourceFailure;
    QV_RETURN_IF_FAILED(out.Reserve(units));
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes, n, out.MutableBuffer(), units) != units)
        return kTextResourceFailure;
    out.SetLength(units);
    return kOk;
}

} // namespace

gCResult CVsfSource::Fail(const wchar_t* what)
{
    gCString message = gCString::AppendNumber(gCString(L"line "), m_lineNumber);
    // Short of memory the message is shorter; the code is what counts.
    (void)message.AppendText(L": ");
    (void)message.AppendText(what);
    m_error = message;
    return kTextResourceFailure;
}

gCResult CVsfSource::Parse(const char* text, int32_t bytes, CStringTableWriter& writer)
{
    int32_t at = 0;
    // A byte-order mark some editors put in front of UTF-8.
    if (bytes >= 3 && static_cast<uint8_t>(text[0]) == 0xEF && static_cast<uint8_t>(text[1]) == 0xBB &&
        static_cast<uint8_t>(text[2]) == 0xBF)
        at = 3;
    while (at < bytes) {
        int32_t end = at;
        while (end < bytes && text[end] != '\n')
            ++end;
        int32_t length = end - at;
        if (length > 0 && text[end - 1] == '\r')
            --length;
        ++m_lineNumber;
        gCString line;
        if (DecodeUtf8(text + at, length, line) != kOk)
            return Fail(L"not UTF-8 text");
        QV_RETURN_IF_FAILED(ParseLine(line, writer));
        at = end + 1;
    }
    return kOk;
}

gCResult CVsfSource::ParseLine(const gCString& line, CStringTableWriter& writer)
{
    if (line.Length() == 0 || line[0] == L'#')
        return kOk;
    if (FindChar(line, 0, 0) >= 0 || FindChar(line, L'\r', 0) >= 0)
        return Fail(L"a 0 character or a carriage return inside the line");
    const gCString directive(L"@base ");
    if (line.Left(directive.Length()) == directive) {
        if (!ParseNumber(line.Mid(directive.Length(), line.Length()), 0xFFFFFFFFu, m_base))
            return Fail(L"@base needs a number up to 4294967295");
        return kOk;
    }
    int32_t firstTab = FindChar(line, L'\t', 0);
    int32_t secondTab = firstTab < 0 ? -1 : FindChar(line, L'\t', firstTab + 1);
    if (secondTab < 0)
        return Fail(L"an entry is <id>, a tab, <name>, a tab, <text>");
    uint64_t number = 0;
    if (!ParseNumber(line.Left(firstTab), 0xFFFFFFFFu, number) || number + m_base > 0xFFFFFFFFu)
        return Fail(L"the id (with the @base added) must be a number up to 4294967295");
    uint32_t id = static_cast<uint32_t>(number + m_base);
    gCString name = line.Mid(firstTab + 1, secondTab - firstTab - 1);
    gCString text = line.Mid(secondTab + 1, line.Length());
    if (m_ids.IndexOf(id) >= 0)
        return Fail(L"this id was given before");
    for (int32_t i = 0; i < m_names.Count(); ++i)
        if (name.Length() > 0 && m_names[i] == name)
            return Fail(L"this name was given before");
    QV_RETURN_IF_FAILED(m_ids.Add(id));
    QV_RETURN_IF_FAILED(m_names.AddDefault());
    QV_RETURN_IF_FAILED(m_names[m_names.Count() - 1].SetString(name));
    return writer.AddRecord(id, name, text);
}
