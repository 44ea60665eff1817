// The updater program: its one application object, constructed by the runtime's static
// initialisation before the Windows entry point runs it.
#include "CQuorvelUpdaterApp.h"

CQuorvelUpdaterApp gQuorvelUpdater;
