// Every state machine of the program changes its state in one setter, which hands each change
// to TraceStateChange. Nothing is written unless the environment variable QV_TRACE_STATES is
// set (then each change is one line of debug output); tests can put their own sink in place.
#pragma once

// machine names the machine; from and to are the names of the old and the new state.
typedef void (*StateTraceFn)(const char* machine, const char* from, const char* to);

// Returns the sink that was in place; null restores the default.
StateTraceFn SetStateTraceFunction(StateTraceFn fn);
void TraceStateChange(const char* machine, const char* from, const char* to);
