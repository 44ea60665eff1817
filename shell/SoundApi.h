// The platform's audio declarations in the order they need (the lean Windows header leaves
// the multimedia part out, and the DirectSound header depends on it).
#pragma once
#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>
