// The platform's audio declarations in the order they need (the lean Windows header leaves
// the multimedia part out, and the DirectSound header depends on it), and what the sound
// classes share among themselves.
#pragma once
#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

class CSound;

// PCM in the sound's channels, rate and sample width.
void DescribeSoundFormat(const CSound& sound, WAVEFORMATEX& format);
