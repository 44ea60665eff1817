// The application's list of sound players. The players themselves come with the sound code;
// until then the list is always empty.
#pragma once
#include "gCBaseObject.h"

class CSoundManager : public gCBaseObject {
public:
    // Deletes players that have finished playing.
    void RemoveFinished();
    void DeleteAllPlayers();
};
