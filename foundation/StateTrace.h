// Every state machine of the program changes its state in one setter, which hands each change
// to TraceStateChange. Nothing is written unless the environment variable QV_TRACE_STATES is
// set (then each change is one line of debug output); tests can put their own sink in place.
#pragma once
#include <cstddef>

// machine names the machine; from and to are the names of the old and the new state.
typedef void (*StateTraceFn)(const char* machine, const char* from, const char* to);

// Returns the sink that was in place; null restores the default.
StateTraceFn SetStateTraceFunction(StateTraceFn fn);
void TraceStateChange(const char* machine, const char* from, const char* to);

// One row of a machine's table of its states' names.
template <typename State>
struct StateName {
    State state;
    const char* name;
};

// The state's name in the table; "unknown" for a state that the table lacks.
template <typename State, size_t N>
const char* NameOfState(const StateName<State> (&names)[N], State state)
{
    for (const StateName<State>& row : names)
        if (row.state == state)
            return row.name;
    return "unknown";
}

// The change from one state to another, by their names in the machine's table.
template <typename State, size_t N>
void TraceStateChange(const char* machine, const StateName<State> (&names)[N], State from, State to)
{
    TraceStateChange(machine, NameOfState(names, from), NameOfState(names, to));
}
