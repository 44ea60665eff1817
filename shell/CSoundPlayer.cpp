#include "CSoundPlayer.h"

#include "CSound.h"

CSoundPlayer::CSoundPlayer(CSound* sound, int32_t loops, int32_t pitch)
    : m_id(-1), m_rate(SemitoneRatio(pitch)), m_loopsLeft(loops), m_sound(sound)
{
    m_finished = 1;
}

CSoundPlayer::~CSoundPlayer()
{
    Close();
}

void CSoundPlayer::Close()
{
    m_stopRequested = 1;
}

uint32_t CSoundPlayer::WaveStreamFill(uint8_t*)
{
    return 0;
}

void CALLBACK CSoundPlayer::WaveOutCallback(HWAVEOUT, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR) {}

bool CSoundPlayer::IsStreamed() const
{
    return m_sound && m_sound->GetSourceStream();
}

bool CSoundPlayer::QueueHalf(WAVEHDR&, uint8_t*)
{
    return false;
}

void CSoundPlayer::Refill(WAVEHDR&) {}
