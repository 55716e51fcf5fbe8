// SentrelEx.exe started with -START over 3, 1,000 and 5,000 HKCU Run values,
// each starting a program file of its own (hard links of one program with an
// icon and version facts, so every row's reads are real and none is shared).
//
// Two times from the process start:
// - the first screen: the list holds a screenful of rows (every row, when
//   fewer) and has painted them (its update region is empty); a row is
//   drawn only after its facts (company, publisher, first-seen date, icon)
//   are read, so this is the first screen drawn with its facts. Goal: at
//   most 1.5x the start with 3 entries.
// - the whole list: every row listed, every row's facts and icon read (the
//   list drops its "SentrelRowsWaiting" property) and painted. Goal: at most 1.2x its
//   floor: the 3-entry start (process, sheet, page) plus the same reads and
//   inserts in this process: BuildStartupList, and for each row its
//   first-seen date, its version facts, its signature, its icon added to an
//   image list and its six texts inserted into a report list.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench_support.h"
#include "first_seen.h"
#include "items.h"
#include "program_files.h"
#include "signatures.h"
#include "startup_list.h"

namespace {
const char kRun[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const int kRounds = 3;

std::string ProgramsFolder()
{
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof windows);
    return std::string(windows).substr(0, 3) + "BenchPrograms";
}

std::string ProgramFile(int i)
{
    char name[32];
    snprintf(name, sizeof name, "\\program%05d.exe", i);
    return ProgramsFolder() + name;
}

std::string ValueName(int i)
{
    char name[32];
    snprintf(name, sizeof name, "Bench Entry %05d", i);
    return name;
}

// count Run values, each starting its own file; present false takes them away.
void Plant(int count, bool present)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kRun, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr)) return;
    std::string source = bench::ProgramFolder() + "\\SentrelEx.exe";
    if (present) CreateDirectoryA(ProgramsFolder().c_str(), nullptr);
    for (int i = 0; i < count; i++) {
        std::string file = ProgramFile(i), name = ValueName(i);
        if (present) {
            if (!CreateHardLinkA(file.c_str(), source.c_str(), nullptr)) CopyFileA(source.c_str(), file.c_str(), TRUE);
            std::string command = "\"" + file + "\" /bench";
            RegSetValueExA(key, name.c_str(), 0, REG_SZ, (const BYTE *)command.c_str(), (DWORD)command.size() + 1);
        } else {
            RegDeleteValueA(key, name.c_str());
            DeleteFileA(file.c_str());
        }
    }
    if (!present) RemoveDirectoryA(ProgramsFolder().c_str());
    RegCloseKey(key);
}

// A window of the monitor's class, so that -START finds a monitor running
// and starts none (it would scan beside every round).
DWORD WINAPI StandInMonitor(LPVOID)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "Sentrel";
    RegisterClassA(&windowClass);
    CreateWindowExA(0, "Sentrel", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, windowClass.hInstance, nullptr);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
    return 0;
}

struct Start {
    double firstScreen = -1, wholeList = -1;
};

// The page's list once it is there (found once, asked little, so that the
// waiting costs the explorer little).
HWND PageList(void)
{
    HWND sheet = FindWindowA("#32770", "Sentrel Zenta");
    HWND page = sheet ? (HWND)SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0) : nullptr;
    return page ? GetDlgItem(page, 1000) : nullptr;
}

// 1 once the list holds rows rows (or a screenful of them, when firstScreen)
// and has painted them.
int Painted(HWND list, int rows, bool firstScreen)
{
    int screen = (int)SendMessageA(list, LVM_GETCOUNTPERPAGE, 0, 0);
    if (firstScreen && screen > 0 && screen < rows) rows = screen;
    return IsWindowVisible(list) && SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) >= rows &&
           !GetUpdateRect(list, nullptr, FALSE);
}

// Starts the explorer and waits for its first screen, and for its whole
// list unless firstOnly.
Start StartExplorer(int rows, bool firstOnly)
{
    std::string folder = bench::ProgramFolder(), program = folder + "\\SentrelEx.exe";
    std::string line = "\"" + program + "\" -START";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    Start times;
    double start = bench::WallMs();
    if (!CreateProcessA(program.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                        &info))
        return times;
    HWND list = nullptr;
    for (double waited = 0; waited < 300000 && times.wholeList < 0; waited = bench::WallMs() - start) {
        if (!list) list = PageList();
        if (list && times.firstScreen < 0 && Painted(list, rows, true)) {
            times.firstScreen = bench::WallMs() - start;
            if (firstOnly) times.wholeList = times.firstScreen;
        }
        if (list && times.firstScreen >= 0 && !firstOnly && Painted(list, rows, false) &&
            !GetPropA(list, "SentrelRowsWaiting"))
            times.wholeList = bench::WallMs() - start;
        if (times.wholeList < 0) Sleep(times.firstScreen < 0 ? 3 : 20);
    }
    if (HWND main = FindWindowA("SentrelEx", nullptr)) PostMessageA(main, WM_COMMAND, 6030, 0);
    if (WaitForSingleObject(info.hProcess, 15000) != WAIT_OBJECT_0) TerminateProcess(info.hProcess, 1);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    return times;
}

// The same reads and inserts as the page, in this process; steps gets the
// milliseconds of each kind of work.
enum FloorStep { STEP_LIST, STEP_FIRST_SEEN, STEP_VERSION, STEP_SIGNATURE, STEP_ICON, STEP_INSERT, STEP_COUNT };
const char *const kStepNames[STEP_COUNT] = {"list", "first-seen", "version", "signature", "icon", "insert"};

double Floor(int rows, double steps[STEP_COUNT])
{
    ForgetSignatures();
    for (int i = 0; i < STEP_COUNT; i++) steps[i] = 0;
    double start = bench::WallMs(), mark = start;
    auto step = [&](int which) {
        double now = bench::WallMs();
        steps[which] += now - mark;
        mark = now;
    };
    int count = BuildStartupList(1);
    step(STEP_LIST);
    HWND list = CreateWindowExA(0, WC_LISTVIEWA, "", WS_POPUP | LVS_REPORT, 0, 0, 600, 400, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    HIMAGELIST images = ImageList_Create(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                         ILC_COLOR32 | ILC_MASK, 16, 256);
    SendMessageA(list, LVM_SETIMAGELIST, LVSIL_SMALL, (LPARAM)images);
    for (int column = 0; column < 6; column++) {
        LVCOLUMNA c = {};
        c.mask = LVCF_WIDTH;
        c.cx = 100;
        SendMessageA(list, LVM_INSERTCOLUMNA, column, (LPARAM)&c);
    }
    step(STEP_INSERT);
    static VersionFacts facts;
    for (int i = 0; i < count; i++) {
        const Item *item = GetItem(i);
        char file[PATH_SIZE], date[64];
        ResolveCommandPath(item->path, file);
        GetFirstSeen(item->path, item->type, date);
        step(STEP_FIRST_SEEN);
        ReadVersionFacts(file, facts);
        step(STEP_VERSION);
        Signature signature;
        VerifyProgramFile(file, &signature);
        step(STEP_SIGNATURE);
        HICON small = nullptr;
        ExtractIconExA(file, 0, nullptr, &small, 1);
        int image = small ? ImageList_AddIcon(images, small) : 1;
        if (small) DestroyIcon(small);
        step(STEP_ICON);
        LVITEMA row = {};
        row.mask = LVIF_TEXT | LVIF_IMAGE;
        row.iItem = i;
        row.pszText = (char *)item->title;
        row.iImage = image;
        int position = (int)SendMessageA(list, LVM_INSERTITEMA, 0, (LPARAM)&row);
        const char *texts[5] = {file, facts[VERSION_COMPANY_NAME], "HKCU Run", date, signature.signer};
        for (int column = 1; column < 6; column++) {
            LVITEMA cell = {};
            cell.iSubItem = column;
            cell.pszText = (char *)texts[column - 1];
            SendMessageA(list, LVM_SETITEMTEXTA, position, (LPARAM)&cell);
        }
        step(STEP_INSERT);
    }
    double took = bench::WallMs() - start;
    DestroyWindow(list);
    ImageList_Destroy(images);
    FreeItems();
    if (count < rows) printf("explorer_startup: the floor listed %d of %d entries\n", count, rows);
    return took;
}

}  // namespace

int main(int argc, char **argv)
{
    InitCommonControls();
    CloseHandle(CreateThread(nullptr, 0, StandInMonitor, nullptr, 0, nullptr));
    std::vector<int> sizes = {3, 1000, 5000};
    if (argc > 1) sizes.assign({3, atoi(argv[1])});   // one size against the 3-entry start
    double firstOf3 = 0, wholeOf3 = 0;
    int failed = 0;
    for (int rows : sizes) {
        Plant(rows, true);
        // The whole list is timed over 1,000 entries; over 5,000 the first screen.
        bool firstOnly = rows > 1000;
        StartExplorer(rows, false);   // the first start records every first-seen date
        std::vector<double> first, whole, floors;
        double steps[STEP_COUNT];
        for (int round = 0; round < kRounds; round++) {
            Start times = StartExplorer(rows, firstOnly);
            if (times.wholeList < 0) {
                printf("explorer_startup: the explorer did not show %d rows\n", rows);
                failed = 1;
                break;
            }
            first.push_back(times.firstScreen);
            whole.push_back(times.wholeList);
            if (rows > 3 && !firstOnly) floors.push_back(Floor(rows, steps));
        }
        Plant(rows, false);
        if (first.empty()) continue;
        double firstMedian = bench::Median(first), wholeMedian = bench::Median(whole);
        auto spread = [](const std::vector<double> &v) {
            double low, high;
            bench::Spread(v, &low, &high);
            return std::to_string((int)low) + "-" + std::to_string((int)high);
        };
        if (rows == 3) {
            firstOf3 = firstMedian;
            wholeOf3 = wholeMedian;
            printf("%5d entries: first screen %7.0f ms (%s), whole list %7.0f ms (%s)\n", rows, firstMedian,
                   spread(first).c_str(), wholeMedian, spread(whole).c_str());
            continue;
        }
        printf("%5d entries: first screen %7.0f ms (%s), %.2fx the 3-entry start; ", rows, firstMedian,
               spread(first).c_str(), firstMedian / firstOf3);
        bench::PrintGoal(firstMedian / firstOf3, 1.5);
        if (firstOnly) continue;
        double floor = wholeOf3 + bench::Median(floors);
        printf("               whole list   %7.0f ms (%s), floor %.0f ms (3-entry start + reads and inserts %s); ",
               wholeMedian, spread(whole).c_str(), floor, spread(floors).c_str());
        bench::PrintGoal(wholeMedian / floor, 1.2);
        printf("               the floor's reads and inserts (last round):");
        for (int i = 0; i < STEP_COUNT; i++) printf(" %s %.0f ms%s", kStepNames[i], steps[i], i + 1 < STEP_COUNT ? "," : "\n");
    }
    return failed;
}
