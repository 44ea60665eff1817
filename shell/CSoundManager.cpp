#include "CSoundManager.h"

#include <ctime>
#include <new>

#include "CAppBase.h"
#include "CSound.h"
#include "CSoundPlayer.h"
#include "CTimer.h"
#include "SoundApi.h"

namespace {

// How long a stop waits for a buffer that keeps reporting that it plays.
const uint32_t kStopWaitSeconds = 2;

bool IsStillPlaying(IDirectSoundBuffer* buffer)
{
    DWORD status = 0;
    return buffer->GetStatus(&status) == DS_OK && status == DSBSTATUS_PLAYING;
}

} // namespace

CSoundManager::CSoundManager()
{
    IDirectSound* device = nullptr;
    if (DirectSoundCreate(nullptr, &device, nullptr) == DS_OK)
        m_device.Reset(device);
}

CSoundManager::~CSoundManager()
{
    DeleteAllPlayers();
    m_device.Reset();
}

int32_t CSoundManager::SoundPlay(CSound* sound, int32_t pitch)
{
    if (!sound)
        return -1;
    if (!sound->GetSourceStream()) {
        IDirectSoundBuffer* buffer = sound->GetBuffer();
        if (!buffer)
            return 0;
        CAppBase* app = GetApp();
        // A refused level leaves the device's own, which plays as well.
        if (m_device)
            (void)m_device->SetCooperativeLevel(app ? app->GetMainWindowHandle() : nullptr, DSSCL_NORMAL);
        return buffer->Play(0, 0, 0) == DS_OK ? 0 : -1;
    }
    CSoundPlayer* player = new (std::nothrow) CSoundPlayer(sound, 1, pitch);
    if (!player)
        return -1;
    if (m_players.Add(player) != kOk) {
        player->Close();
        delete player;
        return -1;
    }
    return player->GetID();
}

// Players go whatever the sound's kind now is, so none can outlive the sound.
void CSoundManager::SoundStop(CSound* sound)
{
    if (!sound)
        return;
    for (int32_t i = m_players.Count() - 1; i >= 0; --i)
        if (m_players[i]->GetSound() == sound)
            ClosePlayerAt(i);
    IDirectSoundBuffer* buffer = sound->GetBuffer();
    if (sound->GetSourceStream() || !buffer)
        return;
    (void)buffer->Stop(); // the wait below ends on its own bound
    CTimer timer;
    while (IsStillPlaying(buffer) && static_cast<uint32_t>(_time64(nullptr)) - timer.startSeconds < kStopWaitSeconds)
        Sleep(0);
}

void CSoundManager::RemoveFinished()
{
    for (int32_t i = m_players.Count() - 1; i >= 0; --i)
        if (m_players[i]->IsFinished())
            ClosePlayerAt(i);
}

void CSoundManager::DeleteAllPlayers()
{
    for (int32_t i = m_players.Count() - 1; i >= 0; --i)
        ClosePlayerAt(i);
    m_players.Release();
}

void CSoundManager::ClosePlayerAt(int32_t index)
{
    CSoundPlayer* player = m_players[index];
    m_players.RemoveAt(index);
    player->Close();
    delete player;
}
