#include "CSoundManager.h"

#include "SoundApi.h"
#include "CSound.h"
#include "CSoundPlayer.h"

CSoundManager::CSoundManager() {}

CSoundManager::~CSoundManager()
{
    DeleteAllPlayers();
}

int32_t CSoundManager::SoundPlay(CSound*, int32_t)
{
    return -1;
}

void CSoundManager::SoundStop(CSound*) {}

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
    player->Close();
    delete player;
    m_players.RemoveAt(index);
}
