// The ids of the program's Win32 resources, shared by its resource script and its code; the
// resource compiler reads this file too, so it holds only preprocessor lines.
#pragma once

// The window's icon in the title bar and the task bar.
#define QVU_ICON_RESOURCE 103
