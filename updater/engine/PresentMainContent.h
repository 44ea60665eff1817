// Puts the main window's content on the screen at once, without waiting for a paint; does
// nothing without a main window.
#pragma once
#include "gCResult.h"

gCResult PresentMainContent();
