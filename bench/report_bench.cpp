// The full system report (HTML) with 1,000 Run entries, run as the explorer
// runs it (its string table, the user's language set, first-seen dates
// recorded for every program), against a floor measured in the same run
// that makes the same system calls for the same result:
// - building every inventory the report covers once;
// - reading the first-seen date of every row that shows one, each
//   category's key opened once (the value names worked out beforehand);
// - writing the report's bytes (taken from a report written beforehand)
//   to the same file in the same 16 KB writes.
// What the floor leaves out is the report's own work: version facts and
// signer of each distinct program file, locations, lookup addresses,
// escaping. Goal: at most 1.3 times the floor (median of the rounds'
// ratios; the spread is the least and greatest ratio).
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <string>
#include <vector>

#include "baselines.h"
#include "bench_plants.h"
#include "first_seen.h"
#include "inventory.h"
#include "items.h"
#include "processes.h"
#include "program_files.h"
#include "reports.h"
#include "startup_list.h"
#include "store.h"
#include "ui_strings.h"
#include "unicode_text.h"

namespace {
const int kRunValues = 1000;
const int kRounds = 9;

std::string RunName(int i) { return "Report bench <" + std::to_string(i) + "> & 'x'"; }

void Populate()
{
    std::vector<std::string> programs = bench::SystemPrograms();
    HKEY key;
    RegCreateKeyExA(HKEY_CURRENT_USER, bench::kRunKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    for (int i = 0; i < kRunValues; i++) {
        const std::string &target = programs[i % programs.size()];
        RegSetValueExA(key, RunName(i).c_str(), 0, REG_SZ, (const BYTE *)target.c_str(), (DWORD)target.size() + 1);
    }
    RegCloseKey(key);
}

void Clean()
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, bench::kRunKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    for (int i = 0; i < kRunValues; i++) RegDeleteValueA(key, RunName(i).c_str());
    RegCloseKey(key);
}

int BuildEveryInventory()
{
    int count = BuildStartupList(0);
    count += ListDelayedPrograms();
    count += CountProcesses();
    count += EnumerateTasks();
    count += EnumerateIEHelpers();
    count += ListFileTypes();
    EnumerateServices(0);
    count += ItemCount();
    count += ListHiddenFiles();
    FreeItems();
    return count;
}

// The first-seen values the report reads: per category key, the value
// names of its rows (the sections that show the date), in row order.
struct SeenReads {
    std::vector<std::wstring> keys;
    std::vector<std::vector<std::wstring>> names;
};

void AddSeenReads(SeenReads *reads)
{
    for (int i = 0; i < ItemCount(); i++) {
        char file[PATH_SIZE];
        if (!GetItem(i)->path[0] || !ResolveCommandPath(GetItem(i)->path, file)) continue;
        WideText key(FirstSeenKey(GetItem(i)->type)), name(file);
        if (reads->keys.empty() || reads->keys.back() != key.get()) {
            reads->keys.push_back(key.get());
            reads->names.emplace_back();
        }
        reads->names.back().push_back(name.get());
    }
}

SeenReads CollectSeenReads()
{
    SeenReads reads;
    for (int (*build)(void) : {+[] { return BuildStartupList(0); }, ListDelayedPrograms, CountProcesses,
                               EnumerateTasks, EnumerateIEHelpers, ListFileTypes}) {
        build();
        AddSeenReads(&reads);
    }
    FreeItems();
    return reads;
}

int ReadSeen(const SeenReads &reads)
{
    int found = 0;
    for (size_t k = 0; k < reads.keys.size(); k++) {
        HKEY key;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, reads.keys[k].c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
            continue;
        for (const std::wstring &name : reads.names[k]) {
            WCHAR date[64];
            DWORD size = sizeof date;
            found += RegQueryValueExW(key, name.c_str(), nullptr, nullptr, (BYTE *)date, &size) == ERROR_SUCCESS;
        }
        RegCloseKey(key);
    }
    return found;
}

void WriteBytes(const std::string &path, const char *data, DWORD size)
{
    WideText wide(path.c_str());
    HANDLE file = CreateFileW(wide, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    for (DWORD done = 0; done < size;) {
        DWORD chunk = size - done < 16384 ? size - done : 16384, written = 0;
        if (!WriteFile(file, data + done, chunk, &written, nullptr)) break;
        done += chunk;
    }
    CloseHandle(file);
}

}  // namespace

int main()
{
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    SetUiLanguage();
    int hadDates = StoreKeyExists(HKEY_CURRENT_USER, STORE_DETECTED);
    Populate();
    BuildFirstSeenSets();
    char temp[PATH_SIZE];
    GetTempPathA(sizeof temp, temp);
    std::string report = std::string(temp) + "report_bench.html";

    WriteSystemReportFile(report.c_str(), 0, "Sentrel");   // warms the caches both use
    DWORD size = 0;
    char *bytes = bench::ReadWholeFile(report, &size);
    SeenReads reads = CollectSeenReads();
    int records = BuildEveryInventory(), seen = 0;

    std::vector<double> floors, reports, ratios;
    for (int round = 0; round < kRounds; round++) {
        double start = bench::WallMs();
        BuildEveryInventory();
        seen = ReadSeen(reads);
        WriteBytes(report, bytes, size);
        double floor = bench::WallMs() - start;
        start = bench::WallMs();
        WriteSystemReportFile(report.c_str(), 0, "Sentrel");
        double written = bench::WallMs() - start;
        floors.push_back(floor);
        reports.push_back(written);
        ratios.push_back(written / floor);
    }
    printf("system report of %d records (%lu bytes, %d first-seen dates), %d rounds, ms:\n", records,
           (unsigned long)size, seen, kRounds);
    bench::PrintSpread("floor", floors);
    bench::PrintSpread("report", reports);
    bench::PrintSpread("report / floor", ratios);
    bench::PrintGoal(bench::Median(ratios), 1.3);
    free(bytes);
    DeleteFileA(report.c_str());
    Clean();
    if (!hadDates) StoreDeleteKey(HKEY_CURRENT_USER, STORE_DETECTED);
    CoUninitialize();
    return 0;
}
