#include "CFileImage.h"

#include "FileText.h"
#include "gCFile.h"

namespace {

// The image's units from a position on; the stream takes the position back when the text is
// read.
class ImageUnits {
public:
    ImageUnits(const uint8_t* data, int64_t size, int64_t position) : m_data(data), m_size(size), m_position(position)
    {
    }

    uint32_t Next(uint16_t& unit)
    {
        const int64_t left = m_size - m_position;
        if (left <= 0)
            return 0;
        if (left == 1) {
            ++m_position;
            return 1;
        }
        unit = static_cast<uint16_t>(m_data[m_position] | (m_data[m_position + 1] << 8));
        m_position += 2;
        return 2;
    }

    bool PutBack(uint32_t n)
    {
        m_position -= n;
        return true;
    }

    int64_t Position() const { return m_position; }

private:
    const uint8_t* m_data;
    int64_t m_size;
    int64_t m_position;
};

} // namespace

gCResult CFileImage::Load(const gCBasePath& path, int64_t maxBytes)
{
    ResetBuffer();
    gCFile file;
    QV_RETURN_IF_FAILED(file.OpenSharedForReading(path));
    gCResult read = ReadWhole(file, maxBytes);
    if (read == kOk)
        read = file.Close();
    if (read != kOk)
        ResetBuffer();
    return read;
}

gCResult CFileImage::ReadWhole(gCFile& file, int64_t maxBytes)
{
    const int64_t length = file.GetLength();
    if (length < 0 || length > maxBytes)
        return kFileOpenFailure;
    if (length == 0)
        return kOk;
    const uint32_t n = static_cast<uint32_t>(length);
    uint8_t* at = nullptr;
    QV_RETURN_IF_FAILED(Reserve(length));
    QV_RETURN_IF_FAILED(RoomAhead(n, at));
    QV_RETURN_IF_FAILED(file.ReadBytes(at, n));
    QV_RETURN_IF_FAILED(Advance(n));
    return Rewind();
}

gCResult CFileImage::ReadText8(gCString& out)
{
    const gCResult readable = TextReadable();
    return readable == kOk ? ReadFileText8(*this, out) : readable;
}

gCResult CFileImage::ReadString(gCString& out)
{
    if (m_narrow)
        return ReadText8(out);
    const gCResult readable = TextReadable();
    if (readable != kOk)
        return readable;
    ImageUnits units(GetData(), GetLength(), Tell());
    const gCResult read = ReadFileString(units, m_swap, out);
    // A failed read leaves the position where the file's would be: past what it consumed.
    QV_RETURN_IF_FAILED(SetPosition(units.Position()));
    return read;
}
