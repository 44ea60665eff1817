#include "CTabletManager.h"

gCResult CTabletManager::Open()
{
    return kOk;
}

void CTabletManager::Activate(WPARAM, LPARAM) {}

void CTabletManager::OnPacket(WPARAM, LPARAM) {}

void CTabletManager::OnInfoChange() {}
