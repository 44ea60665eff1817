// The toolkit's wide string: a UTF-16 buffer that is always 0-terminated, a capacity in code
// units (a multiple of 16, never shrinking) and a length. It has two empty states: unset (no
// buffer) and empty (a buffer holding only the terminator). Operations return 0, or 5 when
// memory runs out, and then leave the string as it was.
#pragma once
#include <cstdint>

#include "gCResult.h"

class gCStringArray;

// The white space that texts read from files and replies are trimmed of.
extern const wchar_t* const kTrimWhiteSpace;

class gCString {
public:
    gCString() = default;
    gCString(const wchar_t* text); // null gives the empty state
    gCString(const gCString& other);
    gCString(gCString&& other) noexcept;
    ~gCString() { Clear(); }
    gCString& operator=(const gCString& other);
    gCString& operator=(gCString&& other) noexcept;

    // Text, or "" for an unset string.
    const wchar_t* Text() const { return m_buffer ? m_buffer : L""; }
    const wchar_t* Buffer() const { return m_buffer; }
    int32_t Length() const { return m_length; }
    int32_t Capacity() const { return m_capacity; }
    bool IsUnset() const { return m_buffer == nullptr; }
    bool IsEmpty() const { return m_length == 0; }
    wchar_t operator[](int32_t i) const { return m_buffer[i]; }

    void Clear();
    gCResult SetText(const wchar_t* text);
    gCResult SetTextN(const wchar_t* text, int32_t count);
    gCResult SetString(const gCString& other);
    gCResult SetAnsi(const char* text);
    gCResult SetAnsiN(const char* text, int32_t byteLength);
    gCResult Append(const gCString& other);
    gCResult AppendText(const wchar_t* text);
    gCResult AppendChar(wchar_t c);
    // Writable room for count code units; the length stays. For readers that fill the buffer.
    gCResult Reserve(int32_t count);
    wchar_t* MutableBuffer() { return m_buffer; }
    void SetLength(int32_t length);

    // The text in the ANSI code page, in one process-wide 4096-byte buffer that the next
    // conversion overwrites; longer texts are cut at 4095 bytes. UI thread only.
    const char* ToAnsi() const;

    static gCString Concat(const gCString& a, const gCString& b);
    static gCString ConcatText(const char* a, const gCString& b);
    static gCString ConcatChar(const gCString& a, char c);
    static gCString AppendNumber(const gCString& a, int32_t value);

    gCString Left(int32_t n) const;
    gCString Right(int32_t n) const;
    gCString Mid(int32_t start, int32_t count) const;
    gCString DropFirst() const;
    gCString Range(int32_t first, int32_t last) const;

    gCResult InsertChar(wchar_t c, int32_t index);
    gCResult InsertString(const gCString& other, int32_t index);
    void Delete(int32_t index, int32_t count);
    void ReplaceChar(wchar_t from, wchar_t to);
    int32_t ReplaceAll(const gCString& search, const gCString& replacement);
    void StripLeading(wchar_t c);
    void Trim(const gCString& set);
    gCString Trimmed(const gCString& set) const;
    int32_t FindFirstOf(const gCString& set) const;
    void MakeUpper();

    // 0: split at the first delimiter; 1: unset or empty source (outputs untouched);
    // 2: no delimiter (head = whole text, tail empty).
    int32_t Split(gCString& head, gCString& tail, const gCString& delimiters, int32_t dropLast) const;
    int32_t SplitToArray(gCStringArray& array, wchar_t separator) const;

    int32_t IsInteger() const;
    int32_t IsDecimal() const;
    int32_t ToInteger() const;

    bool Equals(const wchar_t* text) const;
    bool EqualsNoCase(const wchar_t* text) const;
    bool operator==(const gCString& o) const { return Equals(o.Text()); }
    bool operator!=(const gCString& o) const { return !Equals(o.Text()); }

private:
    gCResult Grow(int32_t unitsWithTerminator);
    gCResult MakeEmpty();

    wchar_t* m_buffer = nullptr;
    int32_t m_capacity = 0;
    int32_t m_length = 0;
};

// Moves the length-prefixed bytes one place to the front and terminates them.
char* PascalToCString(char* buffer);

// Appends the value's decimal digits; the text is as it was when memory runs out.
gCResult AppendDecimal(gCString& text, uint64_t value);
