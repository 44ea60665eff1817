// The class of the application's main window.
#pragma once
#include "CWinWindow.h"

class CAppWindow : public CWinWindow {
public:
    CAppWindow() = default;
};
