#include "CTabletManager.h"

gCResult CTabletManager::Open()
{
    return 0;
}

void CTabletManager::Activate(WPARAM, LPARAM) {}

void CTabletManager::OnPacket(WPARAM, LPARAM) {}

void CTabletManager::OnInfoChange() {}
