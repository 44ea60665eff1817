#include "CSoundManager.h"

void CSoundManager::RemoveFinished() {}

void CSoundManager::DeleteAllPlayers() {}
