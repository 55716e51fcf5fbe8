// Program-file signatures over 1,000 distinct signed files, as the Startup
// page meets them, against a floor measured in the same run: what the page
// reads of each file anyway (its version facts and its small icon). The
// first pass checks every signature (goal: at most 1.5x the floor); the
// second finds every answer kept (goal: at most 1.05x).
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench_plants.h"
#include "program_files.h"
#include "signatures.h"

namespace {
const int kFiles = 1000;

double ReadAsThePageDoes(const std::vector<std::string> &files, bool verify)
{
    double start = bench::WallMs();
    static VersionFacts facts;
    for (const std::string &file : files) {
        ReadVersionFacts(file.c_str(), facts);
        HICON small = nullptr;
        if (ExtractIconExA(file.c_str(), 0, nullptr, &small, 1) > 0 && small) DestroyIcon(small);
        if (verify) {
            Signature signature;
            VerifyProgramFile(file.c_str(), &signature);
        }
    }
    return bench::WallMs() - start;
}
}  // namespace

int main(int, char **argv)
{
    char folder[MAX_PATH], source[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    std::string dir = std::string(folder) + "signatures_bench";
    CreateDirectoryA(dir.c_str(), nullptr);
    // The signed sample beside the benchmarks' programs.
    GetModuleFileNameA(nullptr, source, sizeof source);
    std::string sample(source);
    sample = sample.substr(0, sample.rfind('\\')) + "\\signed\\signed.exe";
    (void)argv;
    std::vector<std::string> files;
    for (int i = 0; i < kFiles; i++) {
        std::string file = dir + "\\program" + std::to_string(i) + ".exe";
        if (!CopyFileA(sample.c_str(), file.c_str(), FALSE)) {
            printf("no signed sample at %s\n", sample.c_str());
            return 1;
        }
        files.push_back(file);
    }
    ReadAsThePageDoes(files, false);   // the files in the system's cache for both
    std::vector<double> floors, firsts, seconds;
    for (int round = 0; round < 3; round++) {
        ForgetSignatures();
        floors.push_back(ReadAsThePageDoes(files, false));
        firsts.push_back(ReadAsThePageDoes(files, true));
        seconds.push_back(ReadAsThePageDoes(files, true));
    }
    double floor = bench::Median(floors), first = bench::Median(firsts), second = bench::Median(seconds);
    printf("signatures, %d signed files: floor (version facts + icon) %7.1f ms  first %7.1f ms ratio %5.2f "
           "(goal <= 1.50)  kept %7.1f ms ratio %5.2f (goal <= 1.05)\n",
           kFiles, floor, first, first / floor, second, second / floor);
    for (const std::string &file : files) DeleteFileA(file.c_str());
    RemoveDirectoryA(dir.c_str());
    return 0;
}
