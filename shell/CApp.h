// The class that programs derive their application class from.
#pragma once
#include "CAppWin.h"

class CApp : public CAppWin {
public:
    explicit CApp(const CAppServices* services = nullptr) : CAppWin(services) {}
    ~CApp() override = default;
};
