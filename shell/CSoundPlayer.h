// Streams one sound to the waveOut device in two alternating halves that the audio thread
// refills. The sound manager owns its players; a player only points at its sound.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include <cstdint>

#include "gCBaseObject.h"

class CSound;

class CSoundPlayer : public gCBaseObject {
public:
    static const uint32_t kHalfBytes = 16384;

    // Starts at once; a player that cannot start is finished with id -1. Loops -1 plays
    // without end.
    CSoundPlayer(CSound* sound, int32_t loops, int32_t pitch);
    ~CSoundPlayer() override;
    CSoundPlayer(const CSoundPlayer&) = delete;
    CSoundPlayer& operator=(const CSoundPlayer&) = delete;

    // Stops the device and waits for a refill in flight; nothing is refilled afterwards.
    void Close();
    // Fills one half from the sound; the bytes written, 0 when nothing is left.
    uint32_t WaveStreamFill(uint8_t* destination);

    static void CALLBACK WaveOutCallback(HWAVEOUT device, UINT message, DWORD_PTR instance, DWORD_PTR header,
                                         DWORD_PTR unused);

    int32_t IsFinished() const { return m_finished; }
    int32_t GetID() const { return m_id; }
    float GetPlayedFraction() const { return m_playedFraction; }
    int32_t GetLoopsLeft() const { return m_loopsLeft; }
    CSound* GetSound() const { return m_sound; }

private:
    bool IsStreamed() const;
    // Fills, prepares and queues one half; false when the device refuses.
    bool QueueHalf(WAVEHDR& header, uint8_t* half);
    void Refill(WAVEHDR& header);

    // Written by the audio thread, read by the UI thread's upkeep.
    volatile LONG m_finished = 0;
    volatile LONG m_stopRequested = 0;
    int32_t m_id;
    float m_rate;
    float m_playedFraction = 0.0f;
    int32_t m_loopsLeft;
    CSound* m_sound;
    uint8_t m_half1[kHalfBytes];
    uint8_t m_half2[kHalfBytes];
    HWAVEOUT m_device = nullptr;
    WAVEHDR m_header1 = {};
    WAVEHDR m_header2 = {};
    CRITICAL_SECTION m_lock;
    bool m_hasLock = false;
};
