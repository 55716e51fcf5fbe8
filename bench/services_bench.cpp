// EnumerateServices over every service of the prefix and 200 more, against
// a floor measured in the same run: the service manager's own listing
// (EnumServicesStatusEx) and the configuration of every service
// (OpenService + QueryServiceConfig). Then SentrelEx.exe opening its
// Services page over the same services (from its start until its list holds
// every row, with the states, companies, icons and first-seen dates).
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "inventory.h"
#include "items.h"
#include "store.h"
#include "text.h"

namespace {
const int kServices = 200;
const int kRounds = 7;

std::string Name(int i)
{
    char name[32];
    snprintf(name, sizeof name, "BenchSvc%03d", i);
    return name;
}

void Populate(const std::string &program)
{
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!manager) return;
    for (int i = 0; i < kServices; i++) {
        std::string display = "Bench Service " + std::to_string(i);
        SC_HANDLE service = CreateServiceA(manager, Name(i).c_str(), display.c_str(), SERVICE_ALL_ACCESS,
                                           SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                                           ("\"" + program + "\" -bench").c_str(), nullptr, nullptr, nullptr,
                                           nullptr, nullptr);
        if (service) CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
}

void Clean()
{
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!manager) return;
    for (int i = 0; i < kServices; i++) {
        SC_HANDLE service = OpenServiceA(manager, Name(i).c_str(), DELETE);
        if (!service) continue;
        DeleteService(service);
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
}

// The floor: what the service manager itself does to list every service
// with its configuration.
int Floor()
{
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ENUMERATE_SERVICE | SC_MANAGER_CONNECT);
    if (!manager) return 0;
    DWORD need = 0, returned = 0, resume = 0;
    EnumServicesStatusExA(manager, SC_ENUM_PROCESS_INFO, SERVICE_WIN32 | SERVICE_DRIVER, SERVICE_STATE_ALL, nullptr,
                          0, &need, &returned, &resume, nullptr);
    BYTE *buffer = (BYTE *)malloc(need + 4096);
    int seen = 0;
    resume = 0;
    if (buffer && EnumServicesStatusExA(manager, SC_ENUM_PROCESS_INFO, SERVICE_WIN32 | SERVICE_DRIVER,
                                        SERVICE_STATE_ALL, buffer, need + 4096, &need, &returned, &resume,
                                        nullptr)) {
        const ENUM_SERVICE_STATUS_PROCESSA *services = (const ENUM_SERVICE_STATUS_PROCESSA *)buffer;
        static BYTE config[8192];
        for (DWORD i = 0; i < returned; i++) {
            SC_HANDLE service = OpenServiceA(manager, services[i].lpServiceName, SERVICE_QUERY_CONFIG);
            if (!service) continue;
            DWORD size = 0;
            QueryServiceConfigA(service, nullptr, 0, &size);
            if (QueryServiceConfigA(service, (QUERY_SERVICE_CONFIGA *)config, sizeof config, &size)) seen++;
            CloseServiceHandle(service);
        }
    }
    free(buffer);
    CloseServiceHandle(manager);
    return seen;
}

double Milliseconds(LARGE_INTEGER start, LARGE_INTEGER end)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return (end.QuadPart - start.QuadPart) * 1000.0 / frequency.QuadPart;
}

struct Timing {
    double floorMs = 1e30, listMs = 1e30;
    int floorCount = 0, listCount = 0;
};

Timing Measure(const char *hideMicrosoft)
{
    StoreWriteString(HKEY_CURRENT_USER, STORE_OPTIONS, "HideMicrosoftServices", hideMicrosoft);
    Timing t;
    for (int round = 0; round < kRounds; round++) {
        LARGE_INTEGER a, b, c;
        QueryPerformanceCounter(&a);
        t.floorCount = Floor();
        QueryPerformanceCounter(&b);
        EnumerateServices(0);
        t.listCount = ItemCount();
        QueryPerformanceCounter(&c);
        if (Milliseconds(a, b) < t.floorMs) t.floorMs = Milliseconds(a, b);
        if (Milliseconds(b, c) < t.listMs) t.listMs = Milliseconds(b, c);
    }
    FreeItems();
    return t;
}

double Now()
{
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return (double)count.QuadPart * 1000.0 / (double)frequency.QuadPart;
}

// Starts the explorer on its Services page and waits until its list shows
// at least rows rows. Returns the milliseconds taken, or -1.
double OpenServicesPage(int rows)
{
    char path[PATH_SIZE];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder(path, n);
    folder = folder.substr(0, folder.find_last_of('\\'));
    std::string program = folder + "\\SentrelEx.exe", line = "\"" + program + "\" -SERVICE";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    double start = Now();
    if (!CreateProcessA(program.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                        &info))
        return -1;
    double result = -1;
    for (int tries = 0; tries < 6000; tries++) {
        HWND sheet = FindWindowA("#32770", "Sentrel Zenta");
        HWND page = sheet ? (HWND)SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0) : nullptr;
        HWND list = page ? GetDlgItem(page, 1000) : nullptr;
        if (list && GetDlgItem(page, 1210) && SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) >= rows) {
            result = Now() - start;
            break;
        }
        Sleep(5);
    }
    if (HWND main = FindWindowA("SentrelEx", nullptr)) PostMessageA(main, WM_COMMAND, 6030, 0);
    if (WaitForSingleObject(info.hProcess, 15000) != WAIT_OBJECT_0) TerminateProcess(info.hProcess, 1);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    return result;
}

void Report(const char *what, const Timing &t)
{
    printf("%-36s floor %7.1f ms (%4d)  EnumerateServices %7.1f ms (%4d)  ratio %5.2f\n", what, t.floorMs,
           t.floorCount, t.listMs, t.listCount, t.listMs / t.floorMs);
}
}  // namespace

int main()
{
    char program[PATH_SIZE];
    GetModuleFileNameA(nullptr, program, sizeof program);
    Clean();
    Timing prefix = Measure("0");
    Populate(program);
    Timing all = Measure("0");
    Timing filtered = Measure("1");
    // The first start records every first-seen date; the rounds after it
    // are the usual case.
    OpenServicesPage(filtered.listCount);
    double page = 1e30;
    for (int round = 0; round < 3; round++) {
        double took = OpenServicesPage(filtered.listCount);
        if (took >= 0 && took < page) page = took;
    }
    Clean();
    StoreDeleteKey(HKEY_CURRENT_USER, STORE_COMPANY);

    Report("services of the prefix", prefix);
    Report("... and 200 more", all);
    Report("... Microsoft's left out (versions)", filtered);
    if (page < 1e29)
        printf("explorer start to a filled Services page (%d rows): %7.1f ms  (%.2fx the floor)\n",
               filtered.listCount, page, page / filtered.floorMs);
    else
        printf("the explorer did not show %d services\n", filtered.listCount);
    printf("goal: ratio at most 1.30\n");
    return 0;
}
