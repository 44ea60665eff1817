#include "CSoundPlayer.h"

#include <cmath>
#include <initializer_list>

#include "CSound.h"
#include "SoundApi.h"

namespace {

// Counts every player made in the process.
LONG gPlayerSerial = -1;

// The fewest frames worth a pass through the fill.
const uint32_t kLeastFrames = 256;

class CSectionLock {
public:
    explicit CSectionLock(CRITICAL_SECTION* section) : m_section(section)
    {
        if (m_section)
            EnterCriticalSection(m_section);
    }
    ~CSectionLock()
    {
        if (m_section)
            LeaveCriticalSection(m_section);
    }
    CSectionLock(const CSectionLock&) = delete;
    CSectionLock& operator=(const CSectionLock&) = delete;

private:
    CRITICAL_SECTION* m_section;
};

// The end of a pass: the next one starts from the beginning, if there is one.
void EndPass(CStreamPosition& position)
{
    if (position.loopsLeft > 0) {
        --position.loopsLeft;
        if (position.loopsLeft > 0)
            position.playedFraction = 0.0f;
    } else if (position.loopsLeft == -1) {
        position.playedFraction = 0.0f;
    }
}

} // namespace

// Positions are in frames; the last one used lies two frames short of the data's end.
uint32_t FillStreamHalf(CSound& sound, float rate, CStreamPosition& position, uint8_t* destination)
{
    gCStream* source = sound.GetSourceStream();
    const uint32_t frameSize = sound.GetFrameSize();
    if (!source || frameSize == 0 || position.playedFraction >= 1.0f || position.loopsLeft == 0)
        return 0;
    const int64_t frames = sound.GetDataSize() / frameSize;
    if (frames <= 2)
        return 0;
    const float last = static_cast<float>(frames - 2);

    uint32_t written = 0;
    for (;;) {
        const uint32_t room = (CSoundPlayer::kHalfBytes - written) / frameSize;
        if (room < kLeastFrames)
            return written;
        const float pos = last * position.playedFraction;
        const float end = std::fmin(pos + static_cast<float>(room) * rate, last);
        position.playedFraction = std::fmin(end / last, 1.0f);
        if (position.playedFraction == 1.0f)
            EndPass(position);
        if (rate != 1.0f)
            return 0;
        // Rounding of the fraction may not give a frame more than there is room for.
        const uint32_t count = static_cast<uint32_t>(std::fmin(std::fmax(std::round(end - pos), 0.0f), room));
        const int64_t from = sound.GetDataStart() + static_cast<int64_t>(std::round(pos)) * frameSize;
        if (source->SetPosition(from) != kOk || source->ReadBytes(destination + written, count * frameSize) != kOk)
            return 0;
        written += count * frameSize;
        if (position.loopsLeft == 0)
            return written;
    }
}

CSoundPlayer::CSoundPlayer(CSound* sound, int32_t loops, int32_t pitch)
    : m_id(InterlockedIncrement(&gPlayerSerial)), m_rate(SemitoneRatio(pitch)), m_sound(sound)
{
    m_position.loopsLeft = loops;
    if (!sound)
        return;
    if (!IsStreamed()) {
        if (IDirectSoundBuffer* buffer = sound->GetBuffer())
            (void)buffer->Play(0, 0, 0); // a buffered player has nothing to report
        return;
    }
    InitializeCriticalSection(&m_lock);
    m_hasLock = true;
    Start();
}

CSoundPlayer::~CSoundPlayer()
{
    Close();
}

bool CSoundPlayer::IsStreamed() const
{
    return m_sound && m_sound->GetSourceStream();
}

void CSoundPlayer::Fail()
{
    InterlockedExchange(&m_id, -1);
    InterlockedExchange(&m_finished, 1);
}

// The lock is held until both halves are queued, so that a refill of the first half on the
// audio thread cannot come before the second half.
void CSoundPlayer::Start()
{
    WAVEFORMATEX format;
    DescribeSoundFormat(*m_sound, format);
    if (waveOutOpen(&m_device, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(&WaveOutCallback),
                    reinterpret_cast<DWORD_PTR>(this), CALLBACK_FUNCTION) != MMSYSERR_NOERROR) {
        m_device = nullptr;
        Fail();
        return;
    }
    CSectionLock lock(&m_lock);
    if (!QueueHalf(m_header1, m_half1))
        return;
    // The whole sound fitted in the first half.
    if (m_position.playedFraction >= 1.0f)
        return;
    (void)QueueHalf(m_header2, m_half2); // a refusal marks the player as failed
}

bool CSoundPlayer::QueueHalf(WAVEHDR& header, uint8_t* half)
{
    header = {};
    header.lpData = reinterpret_cast<LPSTR>(half);
    header.dwBufferLength = WaveStreamFill(half);
    if (header.dwBufferLength == 0) {
        // Nothing to play at all: finished before a sound was made.
        InterlockedExchange(&m_finished, 1);
        return false;
    }
    if (waveOutPrepareHeader(m_device, &header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR ||
        waveOutWrite(m_device, &header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
        Fail();
        return false;
    }
    return true;
}

uint32_t CSoundPlayer::WaveStreamFill(uint8_t* destination)
{
    if (!m_sound)
        return 0;
    CSectionLock lock(m_hasLock ? &m_lock : nullptr);
    return FillStreamHalf(*m_sound, m_rate, m_position, destination);
}

void CSoundPlayer::Refill(WAVEHDR& header)
{
    CSectionLock lock(&m_lock);
    // Close may have begun while this call waited for the lock.
    if (m_stopRequested)
        return;
    const uint32_t length = WaveStreamFill(reinterpret_cast<uint8_t*>(header.lpData));
    if (length == 0) {
        InterlockedExchange(&m_finished, 1);
        return;
    }
    header.dwBufferLength = length;
    if (waveOutWrite(m_device, &header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR)
        Fail();
}

void CALLBACK CSoundPlayer::WaveOutCallback(HWAVEOUT, UINT message, DWORD_PTR instance, DWORD_PTR header, DWORD_PTR)
{
    CSoundPlayer* player = reinterpret_cast<CSoundPlayer*>(instance);
    if (message != WOM_DONE || !player || !header || player->m_stopRequested)
        return;
    player->Refill(*reinterpret_cast<WAVEHDR*>(header));
}

// The stop flag keeps later callbacks from refilling; taking the lock once waits for a refill
// that is already running, so nothing writes to the device once it is being reset and closed,
// and nothing holds the lock once it is deleted.
void CSoundPlayer::Close()
{
    InterlockedExchange(&m_stopRequested, 1);
    if (!m_hasLock) {
        // A buffered sound's player, or one already closed.
        if (m_sound && !IsStreamed() && m_sound->GetBuffer())
            (void)m_sound->GetBuffer()->Stop(); // stopping a stopped buffer is harmless
        return;
    }
    {
        CSectionLock wait(&m_lock);
    }
    if (m_device) {
        (void)waveOutReset(m_device); // the close below releases the device in any case
        for (WAVEHDR* header : {&m_header1, &m_header2})
            if (header->lpData)
                (void)waveOutUnprepareHeader(m_device, header, sizeof(WAVEHDR)); // reset returned it
        (void)waveOutClose(m_device); // nothing more can be done with a device that refuses
        m_device = nullptr;
    }
    DeleteCriticalSection(&m_lock);
    m_hasLock = false;
}
