#include "gCStream.h"

#include <windows.h>

#include "CMemBlockT.h"
#include "CStreamScanner.h"
#include "CTextCollector.h"
#include "FileText.h"

namespace {

// A temporary keeps the caller's value untouched when the read falls short.
template <typename T>
gCResult ReadValue(gCStream& stream, T& value)
{
    T read;
    QV_RETURN_IF_FAILED(stream.ReadBytes(&read, sizeof read));
    value = read;
    return kOk;
}

template <typename T>
gCResult WriteValue(gCStream& stream, T value)
{
    return stream.WriteBytes(&value, sizeof value);
}

} // namespace

gCResult gCStream::ReadU32(uint32_t& value)
{
    return ReadValue(*this, value);
}
gCResult gCStream::ReadU8(uint8_t& value)
{
    return ReadValue(*this, value);
}
gCResult gCStream::ReadU16(uint16_t& value)
{
    return ReadValue(*this, value);
}
gCResult gCStream::ReadU64(uint64_t& value)
{
    return ReadValue(*this, value);
}
gCResult gCStream::ReadS8(int8_t& value)
{
    return ReadValue(*this, value);
}
gCResult gCStream::ReadS16(int16_t& value)
{
    return ReadValue(*this, value);
}
gCResult gCStream::ReadS32(int32_t& value)
{
    return ReadValue(*this, value);
}
gCResult gCStream::ReadS64(int64_t& value)
{
    return ReadValue(*this, value);
}
gCResult gCStream::ReadFloat(float& value)
{
    return ReadValue(*this, value);
}
gCResult gCStream::ReadDouble(double& value)
{
    return ReadValue(*this, value);
}
gCResult gCStream::ReadInt(int32_t& value)
{
    return ReadValue(*this, value);
}

gCResult gCStream::WriteU32(uint32_t value)
{
    return WriteValue(*this, value);
}
gCResult gCStream::WriteU8(uint8_t value)
{
    return WriteValue(*this, value);
}
gCResult gCStream::WriteU16(uint16_t value)
{
    return WriteValue(*this, value);
}
gCResult gCStream::WriteU64(uint64_t value)
{
    return WriteValue(*this, value);
}
gCResult gCStream::WriteS8(int8_t value)
{
    return WriteValue(*this, value);
}
gCResult gCStream::WriteS16(int16_t value)
{
    return WriteValue(*this, value);
}
gCResult gCStream::WriteS32(int32_t value)
{
    return WriteValue(*this, value);
}
gCResult gCStream::WriteS64(int64_t value)
{
    return WriteValue(*this, value);
}
gCResult gCStream::WriteFloat(float value)
{
    return WriteValue(*this, value);
}
gCResult gCStream::WriteDouble(double value)
{
    return WriteValue(*this, value);
}
gCResult gCStream::WriteInt(int32_t value)
{
    return WriteValue(*this, value);
}

gCResult gCStream::WriteBOM()
{
    return WriteS16(static_cast<int16_t>(kTextMarkKept));
}

gCResult gCStream::CopyRestTo(gCStream& target)
{
    char block[65536];
    for (;;) {
        uint32_t got = 0;
        QV_RETURN_IF_FAILED(ReadUpTo(block, sizeof block, got));
        if (got == 0)
            return kOk;
        QV_RETURN_IF_FAILED(target.WriteBytes(block, got));
    }
}

gCResult gCStream::GetPosition32(uint32_t& position)
{
    int64_t full = 0;
    QV_RETURN_IF_FAILED(GetPosition64(full));
    position = static_cast<uint32_t>(full);
    return kOk;
}

int32_t gCStream::SetNarrowText(int32_t narrow)
{
    m_narrow = narrow;
    return narrow;
}

gCResult gCStream::TextReadable()
{
    if (!HasData())
        return kInvalidFile;
    return IsAtEnd() ? kStreamFailure : kOk;
}

gCResult gCStream::ReadLine(gCString& out)
{
    if (m_narrow)
        return ReadText8(out);
    const gCResult readable = TextReadable();
    if (readable != kOk)
        return readable; // the end is no fault: the reader's loop ends on it

    CStreamScanner scanner(*this, 4096);
    uint16_t raw = 0;
    if (scanner.PeekUnit(raw)) {
        // What may stand before a line: a byte-order mark, or the line feed left over from
        // the previous line's end.
        if (raw == kTextMarkSwapped || raw == kTextMarkKept) {
            m_swap = raw == kTextMarkSwapped;
            scanner.Skip(2);
        } else if (SwappedUnit(raw, m_swap) == L'\n') {
            scanner.Skip(2);
        }
    }
    CTextCollector<wchar_t> units;
    for (;;) {
        if (!scanner.NextUnit(raw)) {
            scanner.ConsumeRest();
            break;
        }
        uint16_t unit = SwappedUnit(raw, m_swap);
        if (unit == L'\r' || unit == 0)
            break;
        QV_RETURN_IF_FAILED(units.Add(static_cast<wchar_t>(unit)));
    }
    QV_RETURN_IF_FAILED(scanner.Finish());
    return out.SetTextN(units.Data(), units.Count());
}

gCResult gCStream::WriteText8(const gCString& text, int32_t lineFlag)
{
    if (!HasData())
        return kInvalidFile;
    return WriteAnsiText(text, lineFlag);
}

gCResult gCStream::WriteString(const gCString& text, int32_t lineFlag)
{
    if (m_narrow)
        return WriteText8(text, lineFlag);
    if (!HasData())
        return kInvalidFile;
    if (text.Length() > 0)
        QV_RETURN_IF_FAILED(WriteBytes(text.Text(), static_cast<uint32_t>(text.Length()) * 2u));
    if (lineFlag) {
        const wchar_t lineEnd[2] = {L'\r', L'\n'};
        QV_RETURN_IF_FAILED(WriteBytes(lineEnd, sizeof lineEnd));
    }
    return kOk;
}

// Converted into a block of its own size: the shared 4096-byte conversion buffer would cut
// a long line and its line end.
gCResult gCStream::WriteAnsiText(const gCString& text, int32_t lineFlag)
{
    gCString whole;
    QV_RETURN_IF_FAILED(whole.SetString(text));
    if (lineFlag)
        QV_RETURN_IF_FAILED(whole.AppendText(L"\r\n"));
    if (whole.Length() == 0)
        return kOk;
    int bytes = WideCharToMultiByte(CP_ACP, 0, whole.Text(), whole.Length(), nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return kStreamFailure;
    CMemBlock block;
    QV_RETURN_IF_FAILED(block.Resize(bytes));
    bytes = WideCharToMultiByte(CP_ACP, 0, whole.Text(), whole.Length(), reinterpret_cast<char*>(block.Data()), bytes,
                                nullptr, nullptr);
    if (bytes <= 0)
        return kStreamFailure;
    return WriteBytes(block.Data(), static_cast<uint32_t>(bytes));
}
