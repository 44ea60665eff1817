// The WAV reader: RIFF WAVE with a format chunk, an optional "fact" chunk and the data chunk.
// Every size in the file is checked against the stream's length before it is used.
#include <cstring>

#include "CSound.h"

namespace {

const int64_t kSmallestWaveFile = 20;
const uint32_t kFormatFieldBytes = 16;

// The next four bytes equal the tag, in file order.
gCResult ExpectTag(gCStream& stream, const char* tag)
{
    char bytes[4];
    QV_RETURN_IF_FAILED(stream.ReadBytes(bytes, 4));
    return std::memcmp(bytes, tag, 4) == 0 ? kOk : kInvalidFile;
}

// At least n bytes lie between the stream's position and its end.
bool Fits(gCStream& stream, int64_t n)
{
    return stream.Tell() + n <= stream.GetLength();
}

struct WaveFormat {
    uint16_t channels = 0;
    uint32_t sampleRate = 0;
    uint16_t blockAlign = 0;
    uint16_t bits = 0;
};

gCResult ReadFormatFields(gCStream& stream, WaveFormat& format)
{
    uint16_t formatTag = 0;
    uint32_t byteRate = 0;
    QV_RETURN_IF_FAILED(stream.ReadU16(formatTag));
    QV_RETURN_IF_FAILED(stream.ReadU16(format.channels));
    QV_RETURN_IF_FAILED(stream.ReadU32(format.sampleRate));
    QV_RETURN_IF_FAILED(stream.ReadU32(byteRate));
    QV_RETURN_IF_FAILED(stream.ReadU16(format.blockAlign));
    return stream.ReadU16(format.bits);
}

// Bits 0 with block align 1 are 8-bit samples; the block align must match the file's own
// channel count and sample width.
gCResult CheckFormat(WaveFormat& format)
{
    if (format.blockAlign == 0)
        return kInvalidFile;
    if (format.bits == 0 && format.blockAlign == 1)
        format.bits = 8;
    const uint32_t expected = static_cast<uint32_t>(format.bits) * format.channels / 8;
    return format.blockAlign == expected ? kOk : kInvalidFile;
}

// The chunk after the format is "data", or "fact" and then "data".
gCResult FindDataChunk(gCStream& stream)
{
    char tag[4];
    QV_RETURN_IF_FAILED(stream.ReadBytes(tag, 4));
    if (std::memcmp(tag, "fact", 4) == 0) {
        uint32_t factSize = 0;
        QV_RETURN_IF_FAILED(stream.ReadU32(factSize));
        // A "fact" that runs past the end leaves the next tag unreadable.
        (void)stream.SetPosition(stream.Tell() + factSize);
        return ExpectTag(stream, "data");
    }
    return std::memcmp(tag, "data", 4) == 0 ? kOk : kInvalidFile;
}

} // namespace

gCResult ReadWaveFile(gCStream& stream, CSound& sound)
{
    const int64_t start = stream.Tell();
    if (stream.GetLength() - start < kSmallestWaveFile)
        return kInvalidFile;
    char tag[4];
    QV_RETURN_IF_FAILED(stream.ReadBytes(tag, 4));
    QV_RETURN_IF_FAILED(stream.SetPosition(start));
    if (std::memcmp(tag, "RIFF", 4) != 0)
        return kNotImplemented; // the only format read is RIFF WAVE
    return LoadWaveData(stream, sound);
}

gCResult LoadWaveData(gCStream& stream, CSound& sound)
{
    sound.SetSourceStream(nullptr, 0);
    uint32_t dataSize = 0;
    QV_RETURN_IF_FAILED(ParseWaveFormat(stream, sound, dataSize));
    QV_RETURN_IF_FAILED(sound.SetLength(dataSize / sound.GetFrameSize()));
    CSoundBufferLock lock(sound);
    if (!lock.Data())
        return kOutOfMemory;
    // The buffer holds whole frames: a trailing partial frame stays in the file.
    return stream.ReadBytes(lock.Data(), lock.Size());
}

gCResult ParseWaveFormat(gCStream& stream, CSound& sound, uint32_t& dataSize)
{
    const int64_t riffStart = stream.Tell();
    QV_RETURN_IF_FAILED(ExpectTag(stream, "RIFF"));
    uint32_t riffSize = 0;
    QV_RETURN_IF_FAILED(stream.ReadU32(riffSize));
    if (static_cast<int64_t>(riffSize) > stream.GetLength() - riffStart - 4)
        return kInvalidFile;
    QV_RETURN_IF_FAILED(ExpectTag(stream, "WAVE"));
    QV_RETURN_IF_FAILED(ExpectTag(stream, "fmt "));

    uint32_t formatSize = 0;
    QV_RETURN_IF_FAILED(stream.ReadU32(formatSize));
    const int64_t formatStart = stream.Tell();
    if (formatSize < kFormatFieldBytes || !Fits(stream, formatSize))
        return kInvalidFile;
    WaveFormat format;
    QV_RETURN_IF_FAILED(ReadFormatFields(stream, format));
    QV_RETURN_IF_FAILED(CheckFormat(format));
    QV_RETURN_IF_FAILED(stream.SetPosition(formatStart + formatSize));

    QV_RETURN_IF_FAILED(FindDataChunk(stream));
    uint32_t size = 0;
    QV_RETURN_IF_FAILED(stream.ReadU32(size));
    if (!Fits(stream, size))
        return kInvalidFile;
    QV_RETURN_IF_FAILED(sound.SetFormat(format.bits, format.channels == 2 ? 1 : 0, format.sampleRate, 0));
    dataSize = size;
    return kOk;
}
