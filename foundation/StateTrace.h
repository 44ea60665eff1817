// The state machines' debug switch: while it is on, every change of state is written as a
// debug line "machine: old -> new". Off unless a debugging session turns it on.
#pragma once

void SetStateTracing(bool on);
void TraceStateChange(const char* machine, const char* from, const char* to);
