// The application's sound device and its list of streaming players. The application object
// holds one; its per-tick upkeep removes finished players and its destructor deletes the rest.
#pragma once
#include <cstdint>

#include "ComRef.h"
#include "gCArray.h"
#include "gCBaseObject.h"

struct IDirectSound;
class CSound;
class CSoundPlayer;

class CSoundManager : public gCBaseObject {
public:
    // Opens the default DirectSound device; without one every sound fails to load.
    CSoundManager();
    ~CSoundManager() override;
    CSoundManager(const CSoundManager&) = delete;
    CSoundManager& operator=(const CSoundManager&) = delete;

    // A buffered sound plays once from its buffer (0, or -1 when the device refuses); a
    // streamed one gets a player, whose id is returned (-1 when it could not be made).
    int32_t SoundPlay(CSound* sound, int32_t pitch);
    // Stops every playing of the sound; returns once its buffer has stopped (2 s at most).
    void SoundStop(CSound* sound);
    // Closes and frees the players that have finished.
    void RemoveFinished();
    void DeleteAllPlayers();

    IDirectSound* GetDevice() const { return m_device.Get(); }
    int32_t GetPlayerCount() const { return m_players.Count(); }
    CSoundPlayer* GetPlayer(int32_t index) const { return m_players[index]; }

private:
    void ClosePlayerAt(int32_t index);

    gCArray<CSoundPlayer*> m_players;
    CComRef<IDirectSound> m_device;
};
