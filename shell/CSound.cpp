#include "CSound.h"

#include "SoundApi.h"
#include "CAppBase.h"

CSound::CSound() : gCResourceObject('audi') {}

CSound::~CSound()
{
    if (CAppBase* app = GetApp())
        app->GetSoundManager().SoundStop(this);
}

gCResult CSound::LoadByName(const gCString&, gCStream*, CResourceDirectory*)
{
    return kNotImplemented;
}

gCResult CSound::LoadByID(uint32_t, gCStream*, CResourceDirectory*)
{
    return kNotImplemented;
}

gCResult CSound::ReadFromStream(gCStream&)
{
    return kNotImplemented;
}

int32_t CSound::Play(int32_t pitch)
{
    CAppBase* app = GetApp();
    return app ? app->GetSoundManager().SoundPlay(this, pitch) : -1;
}

gCResult CSound::SetFormat(int32_t, uint32_t, uint32_t, uint32_t)
{
    return kNotImplemented;
}

gCResult CSound::SetLength(uint32_t)
{
    return kNotImplemented;
}

gCResult CSound::CreateBuffer()
{
    return kCreateFailure;
}

void CSound::SetSourceStream(gCStream* stream, int64_t dataStart)
{
    m_sourceStream = stream;
    m_dataStart = dataStart;
}

gCResult CSound::ReadBody(gCStream&)
{
    return kNotImplemented;
}

CSoundBufferLock::CSoundBufferLock(CSound& sound) : m_sound(sound) {}

CSoundBufferLock::~CSoundBufferLock() {}

CSound* CreateSound(uint32_t, gCStream*, CResourceDirectory*)
{
    return nullptr;
}

gCResult ReadWaveFile(gCStream&, CSound&)
{
    return kNotImplemented;
}

gCResult LoadWaveData(gCStream&, CSound&)
{
    return kNotImplemented;
}

gCResult ParseWaveFormat(gCStream&, CSound&, uint32_t& dataSize)
{
    dataSize = 0;
    return kNotImplemented;
}

float SemitoneRatio(int32_t)
{
    return 1.0f;
}
