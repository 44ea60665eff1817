// Comparisons on a busy machine: one sample from one run can be off by 2x and more, so the
// sides of a comparison take turns (A B A B ...) in one run, and every sample is printed as
// "name=s1 s2 ..." (seconds) for tools/bench.sh to take the minimum, median and ratio of.
#pragma once
#include <functional>
#include <string>
#include <vector>

// One side of a comparison: runs once and returns the seconds of its timed part (set-up and
// clearing up around it are left out), or a negative number when it failed.
struct BenchSide {
    std::string name;
    std::function<double()> run;
};

// Rounds of every side in turn, every other round backwards, the first one counted as turn
// QV_BENCH_TURN (default 0) for a script that runs the program once per turn; false, with the
// failing side printed, when a run failed.
bool Alternate(int rounds, const std::vector<BenchSide>& sides);

// The rounds of every comparison: QV_BENCH_ROUNDS, else 5. A script that runs the program once
// per turn of its own sets 1.
int BenchRounds();
// The workload's scale: QV_BENCH_SCALE (default 1), so a busy machine can run smaller ones.
double BenchScale();
