// A short sound: a resource ('audi') holding a RIFF WAVE file. The WAV reader puts its samples
// into a static DirectSound buffer; a sound whose owner attaches a source stream plays through
// a streaming player instead. Both play through the application's sound manager.
#pragma once
#include <cstdint>

#include "ComRef.h"
#include "gCResourceObject.h"

struct IDirectSound;
struct IDirectSoundBuffer;

class CSound : public gCResourceObject {
public:
    CSound();
    // Stops the sound through the manager first, so no player outlives its data.
    ~CSound() override;
    CSound(const CSound&) = delete;
    CSound& operator=(const CSound&) = delete;

    gCResult LoadByName(const gCString& name, gCStream* stream, CResourceDirectory* directory) override;
    gCResult LoadByID(uint32_t id, gCStream* stream, CResourceDirectory* directory) override;
    gCResult ReadFromStream(gCStream& stream);

    // The player's id, 0 for a buffered sound, -1 on failure or without an application.
    int32_t Play(int32_t pitch);
    // Bits 16 means 16-bit samples, anything else 8-bit. Both re-create the buffer.
    gCResult SetFormat(int32_t bits, uint32_t stereo, uint32_t sampleRate, uint32_t frames);
    gCResult SetLength(uint32_t frames);
    // 24 without a DirectSound device or when the device refuses; 0 and no buffer for no data.
    gCResult CreateBuffer();

    // Makes the sound a streamed one: its frames are read from the stream, which the caller
    // keeps alive, from dataStart on. Null makes it buffered again.
    void SetSourceStream(gCStream* stream, int64_t dataStart);

    IDirectSoundBuffer* GetBuffer() const { return m_buffer.Get(); }
    uint32_t IsSixteenBit() const { return m_sixteenBit; }
    uint32_t IsStereo() const { return m_stereo; }
    uint32_t GetSampleRate() const { return m_sampleRate; }
    uint32_t GetFrameSize() const { return m_frameSize; }
    gCStream* GetSourceStream() const { return m_sourceStream; }
    int64_t GetDataStart() const { return m_dataStart; }
    uint32_t GetDataSize() const { return m_dataSize; }

private:
    gCResult ReadBody(gCStream& stream);

    // The device outlives the buffers made from it, whichever goes first.
    CComRef<IDirectSound> m_device;
    CComRef<IDirectSoundBuffer> m_buffer;
    uint32_t m_sixteenBit = 0;
    uint32_t m_stereo = 0;
    uint32_t m_sampleRate = 22000;
    uint32_t m_frameSize = 1;
    gCStream* m_sourceStream = nullptr;
    int64_t m_dataStart = 0;
    uint32_t m_dataSize = 0;
};

// Locks the whole buffer of a sound for the life of the object.
class CSoundBufferLock {
public:
    explicit CSoundBufferLock(CSound& sound);
    ~CSoundBufferLock();
    CSoundBufferLock(const CSoundBufferLock&) = delete;
    CSoundBufferLock& operator=(const CSoundBufferLock&) = delete;

    // Null when the lock failed, there is no buffer, or the sound streams from a disk file.
    void* Data() const { return m_data; }
    uint32_t Size() const { return m_size; }

private:
    CSound& m_sound;
    void* m_data = nullptr;
    uint32_t m_size = 0;
};

// A new sound loaded by id from the stream (null: the application's resource file), or null.
CSound* CreateSound(uint32_t id, gCStream* stream, CResourceDirectory* directory);

// The WAV reader: RIFF WAVE, PCM 8/16 bits, mono or stereo. 17 for a malformed file, 10 for
// one that is not RIFF at all; a stream failure comes back as it is.
gCResult ReadWaveFile(gCStream& stream, CSound& sound);
gCResult LoadWaveData(gCStream& stream, CSound& sound);
// Leaves the stream at the first sample byte and gives out the data's size.
gCResult ParseWaveFormat(gCStream& stream, CSound& sound, uint32_t& dataSize);

// 2^(n/12): the rate of a player pitched by n semitones.
float SemitoneRatio(int32_t semitones);
