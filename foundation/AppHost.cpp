#include "AppHost.h"

namespace {
IAppHost* gHost = nullptr;
}

IAppHost* GetAppHost()
{
    return gHost;
}

void SetAppHost(IAppHost* host)
{
    gHost = host;
}
