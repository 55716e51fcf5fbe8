// What the benchmarks share besides their plants: the wall clock, the
// median of rounds, timing a floor against the code measured, the explorer
// started on a page until its list is filled, and small registry and file
// helpers for planting.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace bench {

// --- Time ----------------------------------------------------------------------------
// The wall clock in milliseconds.
double WallMs(void);
// Milliseconds between two performance counter readings.
double ElapsedMs(LARGE_INTEGER start, LARGE_INTEGER end);
// The median of values; 0 for none.
double Median(std::vector<double> values);
// The least and the greatest of values (0 and 0 for none).
void Spread(const std::vector<double> &values, double *low, double *high);
// The rest of a line of rounds timed against their floor, in ms: the
// floor's and measuredName's medians and spreads, then on a line of its own
// the median and spread of the rounds' ratios and whether the median meets
// goal.
void PrintRatioRounds(const char *measuredName, const std::vector<double> &floor,
                      const std::vector<double> &measured, const std::vector<double> &ratio, double goal);
// One line: what, the median of values and their spread.
void PrintSpread(const char *what, const std::vector<double> &values);
// The CPU time (user and kernel) a process has used, in milliseconds.
double CpuMs(HANDLE process = GetCurrentProcess());
// Times work; *best keeps the least time seen. Returns the time taken (ms).
double TimeBest(double *best, const std::function<void()> &work);

// The time of floor and of measured in each of rounds rounds, one after the
// other; between (optional, not timed) runs after each floor.
struct RoundTimes {
    std::vector<double> floor, measured;
};
RoundTimes TimeRounds(int rounds, const std::function<void()> &floor, const std::function<void()> &measured,
                      const std::function<void()> &between = nullptr);

// Runs floor and measured once each, then rounds times one after the other
// (so neither has the caches to itself). The mean milliseconds of each.
struct MeanTimes {
    double floorMs, measuredMs;
};
MeanTimes AlternateMeans(int rounds, const std::function<void()> &floor, const std::function<void()> &measured);
// "ratio R (goal at most G): met" (or NOT MET).
void PrintGoal(double ratio, double goal);

// The best of rounds of floor then listing, each returning its count;
// ratios (optional) gets each round's listing time over its floor.
struct BestTimes {
    double floorMs = 1e30, listMs = 1e30;
    int floorCount = 0, listCount = 0;
};
BestTimes BestOfRounds(int rounds, const std::function<int()> &floor, const std::function<int()> &listing,
                       std::vector<double> *ratios = nullptr);
// One line: what (in width columns), the floor, listName's time, the ratio.
void PrintBestTimes(const char *what, int width, const char *listName, const BestTimes &t);

// --- The explorer ----------------------------------------------------------------
// The folder of the running benchmark (where SentrelEx.exe is built too).
std::string ProgramFolder(void);
// Starts SentrelEx.exe with pageSwitch and waits until its current page's
// list shows at least rows rows (and has control, unless that is 0); then
// closes it. Returns the milliseconds from the start, -1 when it never did.
double OpenExplorerPage(const char *pageSwitch, int rows, int control = 0);

// --- Planting ------------------------------------------------------------------------
// A REG_SZ value, its key created when missing.
void SetRegString(HKEY root, const std::string &path, const char *name, const std::string &text);
// A file of text, replaced when it is there.
void WriteWholeFile(const std::string &path, const std::string &text);
// The bytes of a file in memory of malloc (free it); null when it cannot
// be opened. *size gets the count read.
char *ReadWholeFile(const std::string &path, DWORD *size);

}  // namespace bench
