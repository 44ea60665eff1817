#include "gCString.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <utility>

#include "gCStringArray.h"
#include "gMem.h"

const wchar_t* const kTrimWhiteSpace = L"\t \n\r";

namespace {

char gAnsiBuffer[4096];

bool InSet(const gCString& set, wchar_t c)
{
    for (int32_t i = 0; i < set.Length(); ++i)
        if (set[i] == c)
            return true;
    return false;
}

int32_t TextLength(const wchar_t* text)
{
    return text ? static_cast<int32_t>(std::wcslen(text)) : 0;
}

} // namespace

gCString::gCString(const wchar_t* text)
{
    // Short of memory the string stays unset (IsUnset).
    (void)SetText(text);
}

gCString::gCString(const gCString& other)
{
    // Short of memory the copy stays unset (IsUnset).
    (void)SetTextN(other.m_buffer, other.m_length);
}

gCString::gCString(gCString&& other) noexcept
    : m_buffer(other.m_buffer), m_capacity(other.m_capacity), m_length(other.m_length)
{
    other.m_buffer = nullptr;
    other.m_capacity = 0;
    other.m_length = 0;
}

gCString& gCString::operator=(const gCString& other)
{
    // Short of memory the text stays as it was.
    if (this != &other)
        (void)SetTextN(other.m_buffer, other.m_length);
    else if (!m_buffer)
        (void)MakeEmpty();
    return *this;
}

gCString& gCString::operator=(gCString&& other) noexcept
{
    if (this != &other) {
        Clear();
        m_buffer = other.m_buffer;
        m_capacity = other.m_capacity;
        m_length = other.m_length;
        other.m_buffer = nullptr;
        other.m_capacity = 0;
        other.m_length = 0;
        if (!m_buffer)
            (void)MakeEmpty(); // short of memory it stays unset
    }
    return *this;
}

void gCString::Clear()
{
    if (m_buffer)
        gMemFree(m_buffer);
    m_buffer = nullptr;
    m_capacity = 0;
    m_length = 0;
}

gCResult gCString::Grow(int32_t needed)
{
    if (needed <= m_capacity && m_buffer)
        return kOk;
    if (needed < 0 || needed > 0x3FFFFFF0)
        return kOutOfMemory;
    // Strictly more than the characters: 15 characters (16 units) fit in 16.
    int32_t capacity = (needed + 15) & ~15;
    void* block = gMemRealloc(m_buffer, sizeof(wchar_t) * static_cast<size_t>(capacity));
    if (!block)
        return kOutOfMemory;
    m_buffer = static_cast<wchar_t*>(block);
    if (m_capacity == 0)
        m_buffer[0] = 0;
    m_capacity = capacity;
    return kOk;
}

gCResult gCString::MakeEmpty()
{
    QV_RETURN_IF_FAILED(Grow(1));
    m_length = 0;
    m_buffer[0] = 0;
    return kOk;
}

gCResult gCString::Reserve(int32_t count)
{
    if (count < 0)
        return kBadParameter;
    return Grow(count + 1);
}

void gCString::SetLength(int32_t length)
{
    if (!m_buffer || length < 0 || length >= m_capacity)
        return;
    m_length = length;
    m_buffer[length] = 0;
}

gCResult gCString::SetText(const wchar_t* text)
{
    return SetTextN(text, TextLength(text));
}

gCResult gCString::SetTextN(const wchar_t* text, int32_t count)
{
    if (!text || count <= 0)
        return MakeEmpty();
    // A text inside our own buffer is no longer than we are, so it never moves.
    QV_RETURN_IF_FAILED(Grow(count + 1));
    std::memmove(m_buffer, text, sizeof(wchar_t) * static_cast<size_t>(count));
    m_buffer[count] = 0;
    m_length = count;
    return kOk;
}

gCResult gCString::SetString(const gCString& other)
{
    if (this == &other)
        return m_buffer ? kOk : MakeEmpty();
    return SetTextN(other.m_buffer, other.m_length);
}

gCResult gCString::SetAnsi(const char* text)
{
    return SetAnsiN(text, -1);
}

gCResult gCString::SetAnsiN(const char* text, int32_t byteLength)
{
    if (!text || byteLength == 0 || (byteLength < 0 && text[0] == 0))
        return MakeEmpty();
    int units = MultiByteToWideChar(CP_ACP, 0, text, byteLength, nullptr, 0);
    if (units <= 0)
        return MakeEmpty();
    QV_RETURN_IF_FAILED(Grow(units + 1));
    int written = MultiByteToWideChar(CP_ACP, 0, text, byteLength, m_buffer, units);
    if (written <= 0)
        return MakeEmpty();
    // A zero-terminated conversion counts its terminator.
    if (byteLength < 0 && m_buffer[written - 1] == 0)
        --written;
    m_buffer[written] = 0;
    m_length = written;
    return kOk;
}

gCResult gCString::Append(const gCString& other)
{
    if (other.m_length == 0)
        return m_buffer ? kOk : MakeEmpty();
    if (this == &other) {
        gCString copy(other);
        if (copy.IsUnset())
            return kOutOfMemory;
        return Append(copy);
    }
    QV_RETURN_IF_FAILED(Grow(m_length + other.m_length + 1));
    std::memcpy(m_buffer + m_length, other.m_buffer, sizeof(wchar_t) * static_cast<size_t>(other.m_length));
    m_length += other.m_length;
    m_buffer[m_length] = 0;
    return kOk;
}

gCResult gCString::AppendText(const wchar_t* text)
{
    int32_t n = TextLength(text);
    if (n == 0)
        return m_buffer ? kOk : MakeEmpty();
    QV_RETURN_IF_FAILED(Grow(m_length + n + 1));
    std::memmove(m_buffer + m_length, text, sizeof(wchar_t) * static_cast<size_t>(n));
    m_length += n;
    m_buffer[m_length] = 0;
    return kOk;
}

gCResult gCString::AppendChar(wchar_t c)
{
    return InsertChar(c, m_length);
}

const char* gCString::ToAnsi() const
{
    if (m_buffer && m_length >= 1) {
        int n = WideCharToMultiByte(CP_ACP, 0, m_buffer, m_length, gAnsiBuffer, 4095, nullptr, nullptr);
        if (n > 0)
            gAnsiBuffer[n] = 0;
        else if (GetLastError() != ERROR_INSUFFICIENT_BUFFER)
            gAnsiBuffer[0] = 0;
        // A text longer than the buffer fails yet fills it: keep its first 4095 bytes.
        gAnsiBuffer[4095] = 0;
    } else {
        gAnsiBuffer[0] = 0;
    }
    return gAnsiBuffer;
}

// The builders below that answer a new string report a lack of memory by an unset (or
// shorter) result, which callers test with IsUnset.
gCString gCString::Concat(const gCString& a, const gCString& b)
{
    gCString result;
    if (a.IsUnset()) {
        (void)result.SetString(b);
        return result;
    }
    if (result.SetString(a) == kOk)
        (void)result.Append(b);
    return result;
}

gCString gCString::ConcatText(const char* a, const gCString& b)
{
    gCString result;
    if (result.SetAnsi(a) == kOk)
        (void)result.Append(b);
    return result;
}

gCString gCString::ConcatChar(const gCString& a, char c)
{
    char text[2] = {c, 0};
    gCString tail;
    (void)tail.SetAnsi(text);
    return Concat(a, tail);
}

gCString gCString::AppendNumber(const gCString& a, int32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
    gCString tail;
    (void)tail.SetAnsi(text);
    return Concat(a, tail);
}

gCString gCString::Left(int32_t n) const
{
    gCString result;
    if (n < 0 || n >= m_length)
        (void)result.SetTextN(m_buffer, m_length);
    else
        (void)result.SetTextN(m_buffer, n);
    return result;
}

gCString gCString::Right(int32_t n) const
{
    gCString result;
    if (n <= 0)
        (void)result.MakeEmpty();
    else if (n >= m_length)
        (void)result.SetTextN(m_buffer, m_length);
    else
        (void)result.SetTextN(m_buffer + (m_length - n), n);
    return result;
}

gCString gCString::Mid(int32_t start, int32_t count) const
{
    gCString result;
    if (start < 0 || count < 0 || start >= m_length) {
        (void)result.MakeEmpty();
        return result;
    }
    if (count > m_length - start)
        count = m_length - start;
    (void)result.SetTextN(m_buffer + start, count);
    return result;
}

gCString gCString::DropFirst() const
{
    return Mid(1, m_length);
}

gCString gCString::Range(int32_t first, int32_t last) const
{
    gCString result;
    if (first < 0)
        first = 0;
    if (last >= m_length)
        last = m_length - 1;
    if (!m_buffer || first > last)
        (void)result.MakeEmpty();
    else
        (void)result.SetTextN(m_buffer + first, last - first + 1);
    return result;
}

gCResult gCString::InsertChar(wchar_t c, int32_t index)
{
    QV_RETURN_IF_FAILED(Grow(m_length + 2));
    if (index < 0)
        index = 0;
    if (index > m_length)
        index = m_length;
    std::memmove(m_buffer + index + 1, m_buffer + index, sizeof(wchar_t) * static_cast<size_t>(m_length - index + 1));
    m_buffer[index] = c;
    ++m_length;
    return kOk;
}

gCResult gCString::InsertString(const gCString& other, int32_t index)
{
    if (other.m_length == 0)
        return kOk;
    if (!m_buffer)
        return SetString(other);
    if (this == &other) {
        gCString copy(other);
        if (copy.IsUnset())
            return kOutOfMemory;
        return InsertString(copy, index);
    }
    QV_RETURN_IF_FAILED(Grow(m_length + other.m_length + 1));
    if (index < 0)
        index = 0;
    if (index > m_length)
        index = m_length;
    std::memmove(m_buffer + index + other.m_length, m_buffer + index,
                 sizeof(wchar_t) * static_cast<size_t>(m_length - index + 1));
    std::memcpy(m_buffer + index, other.m_buffer, sizeof(wchar_t) * static_cast<size_t>(other.m_length));
    m_length += other.m_length;
    return kOk;
}

void gCString::Delete(int32_t index, int32_t count)
{
    if (!m_buffer || m_length == 0 || index < 0 || index >= m_length || count <= 0)
        return;
    if (count > m_length - index)
        count = m_length - index;
    std::memmove(m_buffer + index, m_buffer + index + count,
                 sizeof(wchar_t) * static_cast<size_t>(m_length - index - count + 1));
    m_length -= count;
}

void gCString::ReplaceChar(wchar_t from, wchar_t to)
{
    for (int32_t i = 0; i < m_length; ++i)
        if (m_buffer[i] == from)
            m_buffer[i] = to;
}

int32_t gCString::ReplaceAll(const gCString& search, const gCString& replacement)
{
    if (!m_buffer || search.IsUnset() || search.m_length == 0)
        return 0;
    int32_t count = 0;
    int32_t start = 0;
    while (start < m_length) {
        const wchar_t* hit = std::wcsstr(m_buffer + start, search.m_buffer);
        if (!hit)
            break;
        int32_t i = static_cast<int32_t>(hit - m_buffer);
        gCString next = Left(i);
        if (next.Append(replacement) != kOk)
            break;
        gCString after = Mid(i + search.m_length, m_length);
        if (next.Append(after) != kOk || SetString(next) != kOk)
            break;
        ++count;
        start = i + replacement.m_length;
    }
    return count;
}

void gCString::StripLeading(wchar_t c)
{
    int32_t n = 0;
    while (n < m_length && m_buffer[n] == c)
        ++n;
    Delete(0, n);
}

void gCString::Trim(const gCString& set)
{
    if (set.m_length == 0 || !m_buffer)
        return;
    int32_t end = m_length;
    while (end > 0 && InSet(set, m_buffer[end - 1]))
        --end;
    m_length = end;
    m_buffer[end] = 0;
    int32_t start = 0;
    while (start < m_length && InSet(set, m_buffer[start]))
        ++start;
    Delete(0, start);
}

gCString gCString::Trimmed(const gCString& set) const
{
    gCString copy(*this);
    copy.Trim(set);
    return copy;
}

int32_t gCString::FindFirstOf(const gCString& set) const
{
    if (!m_buffer || set.m_length == 0)
        return -1;
    for (int32_t i = 0; i < m_length; ++i)
        if (InSet(set, m_buffer[i]))
            return i;
    return -1;
}

void gCString::MakeUpper()
{
    if (m_length > 0)
        CharUpperBuffW(m_buffer, static_cast<DWORD>(m_length));
}

int32_t gCString::Split(gCString& head, gCString& tail, const gCString& delimiters, int32_t dropLast) const
{
    if (!m_buffer || m_length == 0)
        return 1;
    int32_t n = FindFirstOf(delimiters);
    if (n < 0) {
        gCString whole(*this);
        head = whole;
        // Short of memory the tail stays unset.
        (void)tail.SetText(nullptr);
        return 2;
    }
    int32_t tailEnd = m_length - (dropLast ? 1 : 0);
    gCString h = Left(n);
    gCString t = tailEnd > n + 1 ? Mid(n + 1, tailEnd - n - 1) : gCString(L"");
    head = h;
    tail = t;
    return 0;
}

int32_t gCString::SplitToArray(gCStringArray& array, wchar_t separator) const
{
    if (!m_buffer || m_length == 0)
        return 0;
    int32_t start = 0;
    for (int32_t i = 0; i <= m_length; ++i) {
        if (i == m_length || m_buffer[i] == separator) {
            gCString piece = Mid(start, i - start);
            if (array.Add(piece) != kOk)
                break;
            start = i + 1;
        }
    }
    return array.Count();
}

int32_t gCString::IsInteger() const
{
    if (!m_buffer || m_length == 0)
        return 0;
    wchar_t first = m_buffer[0];
    if (!(first == L'-' || (first >= L'0' && first <= L'9')))
        return 0;
    for (int32_t i = 1; i < m_length; ++i)
        if (m_buffer[i] < L'0' || m_buffer[i] > L'9')
            return 0;
    return 1;
}

int32_t gCString::IsDecimal() const
{
    gCString dot(L".");
    if (FindFirstOf(dot) < 0)
        return IsInteger();
    gCString before, after;
    Split(before, after, dot, 0);
    return after.IsInteger() && (before.IsEmpty() || before.IsInteger()) ? 1 : 0;
}

int32_t gCString::ToInteger() const
{
    if (!m_buffer)
        return 0;
    gCString text = Trimmed(gCString(kTrimWhiteSpace));
    if (text.IsUnset())
        return 0;
    bool negative = false;
    uint32_t base = 10;
    int32_t start = 0;
    for (int32_t i = 0; i < text.m_length; ++i) {
        if (text.m_buffer[i] == L'-') {
            negative = true;
            start = i + 1;
            break;
        }
    }
    int32_t x = text.FindFirstOf(gCString(L"xX"));
    if (x >= 0) {
        text.MakeUpper();
        base = 16;
        start = x + 1;
    }
    uint32_t value = 0;
    for (int32_t i = start; i < text.m_length; ++i) {
        wchar_t c = text.m_buffer[i];
        uint32_t digit;
        if (c >= L'0' && c <= L'9')
            digit = static_cast<uint32_t>(c - L'0');
        else if (c >= L'A' && c <= L'F')
            digit = static_cast<uint32_t>(c - L'A' + 10);
        else
            break;
        value = value * base + digit;
    }
    return static_cast<int32_t>(negative ? 0u - value : value);
}

bool gCString::Equals(const wchar_t* text) const
{
    return std::wcscmp(Text(), text ? text : L"") == 0;
}

bool gCString::EqualsNoCase(const wchar_t* text) const
{
    return CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, Text(), -1, text ? text : L"", -1) == CSTR_EQUAL;
}

gCString& gCStringArray::GetAt(gCString& out, int32_t index) const
{
    // Short of memory the text stays as it was.
    (void)out.SetString((*this)[index]);
    return out;
}

gCResult gCStringArray::AddWhole(const gCString& text)
{
    if (text.IsUnset())
        return kOutOfMemory;
    QV_RETURN_IF_FAILED(Add(text));
    if (!(*this)[Count() - 1].IsUnset())
        return kOk;
    RemoveAt(Count() - 1);
    return kOutOfMemory;
}

gCResult gCStringArray::AddWhole(gCString&& text)
{
    if (text.IsUnset())
        return kOutOfMemory;
    QV_RETURN_IF_FAILED(AddDefault());
    (*this)[Count() - 1] = std::move(text);
    return kOk;
}

char* PascalToCString(char* buffer)
{
    if (!buffer)
        return nullptr;
    unsigned char n = static_cast<unsigned char>(buffer[0]);
    if (n == 0)
        return buffer;
    std::memmove(buffer, buffer + 1, n);
    buffer[n] = 0;
    return buffer;
}

gCResult AppendDecimal(gCString& text, uint64_t value)
{
    wchar_t digits[24];
    std::swprintf(digits, 24, L"%llu", static_cast<unsigned long long>(value));
    return text.AppendText(digits);
}
