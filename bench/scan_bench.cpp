// SentrelEx -scan over 1,000 Run entries, 200 services and 200 scheduled
// jobs, against a floor measured in the same run: the same inventories
// called one after another in one process. The scan's own work (version
// facts once per program file, approvals, first-seen dates, locations,
// escaping and writing) should add at most 20% on top.
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench_plants.h"
#include "inventory.h"
#include "items.h"
#include "processes.h"
#include "report_writer.h"
#include "scan_report.h"
#include "startup_list.h"

namespace {
const char kStem[] = "ScanBench";
const int kRunValues = 1000, kServices = 200, kJobs = 200, kRounds = 7;

int EveryInventory()
{
    int count = BuildStartupList(0);
    EnumerateServices(0);
    count += ItemCount();
    count += EnumerateTasks();
    count += EnumerateIEHelpers();
    count += ListFileTypes();
    count += ListHiddenFiles();
    count += CountProcesses();
    FreeItems();
    return count;
}

int Scan(const std::string &path, int json)
{
    ReportFile *file = new ReportFile();
    if (!ReportOpen(file, path.c_str())) {
        delete file;
        return -1;
    }
    int unapproved = WriteScanReport(file, json);
    ReportClose(file);
    delete file;
    return unapproved;
}
}  // namespace

int main()
{
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    std::vector<std::string> programs = bench::SystemPrograms();
    bench::PlantRunValues(kStem, kRunValues, programs);
    bench::PlantServices(kStem, kServices, programs[0]);
    if (!bench::PlantJobs(kStem, kJobs, L"C:\\windows\\notepad.exe")) printf("the Task Scheduler did not start\n");
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    std::string path = std::string(temp) + "scan_bench.json";

    int records = EveryInventory();
    Scan(path, 1);   // both warm before measuring
    std::vector<double> floors, scans, ratios;
    for (int round = 0; round < kRounds; round++) {
        double a = bench::WallMs();
        EveryInventory();
        double b = bench::WallMs();
        Scan(path, round % 2);
        double c = bench::WallMs();
        floors.push_back(b - a);
        scans.push_back(c - b);
        ratios.push_back((c - b) / (b - a));
    }
    printf("scan, %d records: inventories %7.1f ms  scan %7.1f ms  median ratio %5.2f (goal <= 1.20), "
           "ratios %.2f-%.2f\n",
           records, bench::Median(floors), bench::Median(scans), bench::Median(ratios),
           *std::min_element(ratios.begin(), ratios.end()), *std::max_element(ratios.begin(), ratios.end()));
    DeleteFileA(path.c_str());
    bench::RemoveJobs(kStem, kJobs);
    bench::RemoveServices(kStem, kServices);
    bench::RemoveRunValues(kStem, kRunValues);
    CoUninitialize();
    return 0;
}
