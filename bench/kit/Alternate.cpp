#include "Alternate.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

double EnvironmentNumber(const wchar_t* name, double fallback)
{
    wchar_t text[32];
    const DWORD n = GetEnvironmentVariableW(name, text, 32);
    if (n == 0 || n >= 32)
        return fallback;
    const double value = std::wcstod(text, nullptr);
    return value > 0 ? value : fallback;
}

} // namespace

bool Alternate(int rounds, const std::vector<BenchSide>& sides)
{
    std::vector<std::string> samples(sides.size());
    const int firstTurn = static_cast<int>(EnvironmentNumber(L"QV_BENCH_TURN", 0));
    for (int round = 0; round < rounds; ++round) {
        // Every other turn runs backwards (A B, B A): a side that always ran first, right after
        // the set-up, would carry its cost alone.
        const bool backwards = (firstTurn + round) % 2 == 1;
        for (size_t k = 0; k < sides.size(); ++k) {
            const size_t s = backwards ? sides.size() - 1 - k : k;
            const double seconds = sides[s].run();
            if (seconds < 0) {
                std::printf("%s failed in round %d\n", sides[s].name.c_str(), round + 1);
                return false;
            }
            char text[32];
            std::snprintf(text, sizeof text, "%s%.4f", samples[s].empty() ? "" : " ", seconds);
            samples[s] += text;
        }
    }
    for (size_t s = 0; s < sides.size(); ++s)
        std::printf("%s=%s\n", sides[s].name.c_str(), samples[s].c_str());
    std::fflush(stdout);
    return true;
}

int BenchRounds()
{
    return static_cast<int>(EnvironmentNumber(L"QV_BENCH_ROUNDS", 5));
}

double BenchScale()
{
    return EnvironmentNumber(L"QV_BENCH_SCALE", 1.0);
}
