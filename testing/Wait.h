// Waiting for something that happens elsewhere (a socket, a thread, a window), always with a
// time limit so a test that goes wrong fails instead of hanging.
#pragma once
#include <functional>

const int kWaitMs = 15000;

// Calls step (then sleeps a millisecond) until done() holds; false when ms passed first or
// when step returned false.
bool WaitUntil(const std::function<bool()>& done, const std::function<bool()>& step, int ms = kWaitMs);

// Dispatches what is queued for this thread's windows; a WM_QUIT is dropped.
void DispatchQueued();
// Dispatches this thread's messages until done() holds; false on timeout.
bool PumpUntil(const std::function<bool()>& done, int ms = kWaitMs);
// Dispatches this thread's messages for a while.
void PumpFor(int ms);
// Removes a WM_QUIT that a destroyed main window left in this thread's queue.
void DrainQuit();
