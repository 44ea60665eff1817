// Streams one sound to the waveOut device in two alternating halves that the audio thread
// refills. The sound manager owns its players; a player only points at its sound.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include <cstdint>

#include "gCBaseObject.h"

class CSound;

// Where a stream stands: the played fraction of the sound (0 to 1) and the passes still to
// play (-1 without end).
struct CStreamPosition {
    float playedFraction = 0.0f;
    int32_t loopsLeft = 1;
};

// Fills up to one half with the sound's frames from its source stream, from the position on,
// and moves the position on; a pass that ends starts the next one within the same half. The
// bytes written; 0 when nothing is left, on a stream failure, and at any rate but 1.0 (there
// is no resampling).
uint32_t FillStreamHalf(CSound& sound, float rate, CStreamPosition& position, uint8_t* destination);

class CSoundPlayer : public gCBaseObject {
public:
    static const uint32_t kHalfBytes = 16384;

    // Starts at once; a player that cannot start is finished with id -1. Loops -1 plays
    // without end.
    CSoundPlayer(CSound* sound, int32_t loops, int32_t pitch);
    // Closes first.
    ~CSoundPlayer() override;
    CSoundPlayer(const CSoundPlayer&) = delete;
    CSoundPlayer& operator=(const CSoundPlayer&) = delete;

    // Stops the device after any refill in flight has ended; nothing is refilled afterwards.
    void Close();
    // One half's refill, under the player's lock.
    uint32_t WaveStreamFill(uint8_t* destination);

    static void CALLBACK WaveOutCallback(HWAVEOUT device, UINT message, DWORD_PTR instance, DWORD_PTR header,
                                         DWORD_PTR unused);

    // Set by the audio thread when a refill yields nothing or fails, or at a failed start.
    bool IsFinished() const { return m_finished != 0; }
    int32_t GetID() const { return m_id; }
    CSound* GetSound() const { return m_sound; }

private:
    bool IsStreamed() const;
    void Start();
    void Fail();
    // Fills, prepares and queues one half; false when the device refuses it.
    bool QueueHalf(WAVEHDR& header, uint8_t* half);
    void Refill(WAVEHDR& header);

    // Written by the audio thread, read by the UI thread.
    volatile LONG m_finished = 0;
    volatile LONG m_stopRequested = 0;
    volatile LONG m_id;
    float m_rate;
    CStreamPosition m_position;
    CSound* m_sound;
    uint8_t m_half1[kHalfBytes];
    uint8_t m_half2[kHalfBytes];
    HWAVEOUT m_device = nullptr;
    WAVEHDR m_header1 = {};
    WAVEHDR m_header2 = {};
    // Only streamed sounds have one.
    CRITICAL_SECTION m_lock;
    bool m_hasLock = false;
};
