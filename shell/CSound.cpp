#include "CSound.h"

#include <cmath>
#include <new>

#include "CAppBase.h"
#include "CSoundManager.h"
#include "ReportError.h"
#include "ResourceTags.h"
#include "SoundApi.h"

namespace {

const uint16_t kPcmFormat = 1;

CSoundManager* AppSounds()
{
    CAppBase* app = GetApp();
    return app ? &app->GetSoundManager() : nullptr;
}

void StopEverywhere(CSound* sound)
{
    if (CSoundManager* sounds = AppSounds())
        sounds->SoundStop(sound);
}

} // namespace

void DescribeSoundFormat(const CSound& sound, WAVEFORMATEX& format)
{
    format = {};
    format.wFormatTag = kPcmFormat;
    format.nChannels = sound.IsStereo() ? 2 : 1;
    format.nSamplesPerSec = sound.GetSampleRate();
    format.wBitsPerSample = sound.IsSixteenBit() ? 16 : 8;
    format.nBlockAlign = static_cast<WORD>(format.wBitsPerSample * format.nChannels / 8);
    format.nAvgBytesPerSec = format.nBlockAlign * format.nSamplesPerSec;
    format.cbSize = 0;
}

CSound::CSound() : gCResourceObject(kTagSound) {}

CSound::~CSound()
{
    StopEverywhere(this);
    m_buffer.Reset();
    m_device.Reset();
}

gCResult CSound::LoadByName(const gCString& name, gCStream* stream, CResourceDirectory* directory)
{
    if (!GetApp())
        return kGenericFailure;
    CResourceSource source;
    QV_RETURN_IF_FAILED(LocateByName(name, stream, directory, source));
    return ReadBody(*source.stream);
}

gCResult CSound::LoadByID(uint32_t id, gCStream* stream, CResourceDirectory* directory)
{
    if (!GetApp())
        return kGenericFailure;
    CResourceSource source;
    QV_RETURN_IF_FAILED(LocateByID(id, stream, directory, source));
    return ReadBody(*source.stream);
}

// The WAV length is read but not trusted: the reader bounds itself by the stream's length.
gCResult CSound::ReadBody(gCStream& stream)
{
    uint32_t wavLength = 0;
    gCResult r = stream.ReadU32(wavLength);
    if (r != kOk) {
        ReportError(kResourceReadFailure, "Sound load size failed.");
        return r;
    }
    return ReadFromStream(stream);
}

gCResult CSound::ReadFromStream(gCStream& stream)
{
    CSoundManager* sounds = AppSounds();
    if (!sounds)
        return kGenericFailure;
    sounds->SoundStop(this);
    return ReadWaveFile(stream, *this);
}

int32_t CSound::Play(int32_t pitch)
{
    CSoundManager* sounds = AppSounds();
    return sounds ? sounds->SoundPlay(this, pitch) : -1;
}

gCResult CSound::SetFormat(int32_t bits, uint32_t stereo, uint32_t sampleRate, uint32_t frames)
{
    m_sixteenBit = bits == 16 ? 1 : 0;
    m_stereo = stereo;
    m_sampleRate = sampleRate;
    m_frameSize = (m_sixteenBit ? 2 : 1) * (m_stereo ? 2 : 1);
    StopEverywhere(this);
    m_dataSize = m_frameSize * frames;
    return CreateBuffer();
}

gCResult CSound::SetLength(uint32_t frames)
{
    CSoundManager* sounds = AppSounds();
    if (!sounds)
        return kGenericFailure;
    sounds->SoundStop(this);
    m_dataSize = m_frameSize * frames;
    return CreateBuffer();
}

gCResult CSound::CreateBuffer()
{
    CSoundManager* sounds = AppSounds();
    IDirectSound* device = sounds ? sounds->GetDevice() : nullptr;
    if (!device)
        return kCreateFailure;
    m_buffer.Reset();
    if (m_dataSize == 0)
        return kOk;

    WAVEFORMATEX format;
    DescribeSoundFormat(*this, format);
    DSBUFFERDESC description = {};
    description.dwSize = sizeof(DSBUFFERDESC);
    description.dwFlags = DSBCAPS_STATIC;
    description.dwBufferBytes = m_dataSize / m_frameSize * m_frameSize;
    description.lpwfxFormat = &format;
    if (device->CreateSoundBuffer(&description, m_buffer.Receive(), nullptr) != DS_OK) {
        // Whatever a failed call left there is not ours to release.
        (void)m_buffer.Detach();
        return kCreateFailure;
    }
    // The buffer belongs to the device: keep the device alive for as long as the buffer.
    device->AddRef();
    m_device.Reset(device);
    return kOk;
}

void CSound::SetSourceStream(gCStream* stream, int64_t dataStart)
{
    m_sourceStream = stream;
    m_dataStart = dataStart;
}

CSoundBufferLock::CSoundBufferLock(CSound& sound) : m_sound(sound)
{
    IDirectSoundBuffer* buffer = sound.GetBuffer();
    gCStream* source = sound.GetSourceStream();
    if (!buffer || (source && source->GetKind() == kStreamKindFile))
        return;
    void* data = nullptr;
    DWORD size = 0;
    if (buffer->Lock(0, 0, &data, &size, nullptr, nullptr, DSBLOCK_ENTIREBUFFER) != DS_OK)
        return;
    m_data = data;
    m_size = size;
}

CSoundBufferLock::~CSoundBufferLock()
{
    if (m_data)
        (void)m_sound.GetBuffer()->Unlock(m_data, m_size, nullptr, 0); // nothing to do if refused
}

CSound* CreateSound(uint32_t id, gCStream* stream, CResourceDirectory* directory)
{
    if (!GetApp())
        return nullptr;
    CSound* sound = new (std::nothrow) CSound();
    if (!sound)
        return nullptr;
    if (sound->LoadByID(id, stream, directory) != kOk) {
        delete sound;
        return nullptr;
    }
    return sound;
}

float SemitoneRatio(int32_t semitones)
{
    const float log10Of2 = static_cast<float>(std::log10(2.0));
    return static_cast<float>(std::pow(10.0, static_cast<double>(log10Of2) / 12.0 * semitones));
}
