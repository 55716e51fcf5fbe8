#include "options.h"

#include <cstddef>
#include <cstring>

#include "store.h"
#include "text.h"

ProgramKind programKind = PROGRAM_MONITOR;
Settings settings;
Countdowns countdowns;
int groupToggle;

namespace {
const int kMaxCookieMonitor = 315;
const int kMaxCookieExplorer = 4096;
const int kNoCountdown = -1;

struct OptionRow {
    const char *name;
    int fallback;
    size_t setting;     // offset in Settings
    int countdown;      // offset in Countdowns, or kNoCountdown
};

#define OPT(name, fallback, field) {name, fallback, offsetof(Settings, field), kNoCountdown}
#define INTERVAL(name, fallback, field) \
    {name, fallback, offsetof(Settings, field), (int)offsetof(Countdowns, field)}

// "MaxCookie" has no fixed default: it depends on the program (below).
const OptionRow kOptions[] = {
    OPT("HideWuffin", 0, hideWuffin),
    OPT("HideAlerts", 0, hideAlerts),
    OPT("Format", 0, format),
    OPT("ConfirmExit", 0, confirmExit),
    OPT("Sound", 1, sound),
    OPT("History", 1, history),
    OPT("HideMicrosoftServices", 1, hideMicrosoftServices),
    OPT("LockFileTypes", 0, lockFileTypes),
    OPT("ShowAllStartup", 0, showAllStartup),
    OPT("ZentaFormat", 0, zentaFormat),
    OPT("MaxCookie", -1, maxCookie),
    INTERVAL("Start", 2, start),
    INTERVAL("Cookies", 0, cookies),
    INTERVAL("Nuts", 0, nuts),
    INTERVAL("Tasks", 11, tasks),
    INTERVAL("IEHelpers", 2, ieHelpers),
    INTERVAL("FileType", 10, fileType),
    INTERVAL("StartPage", 2, startPage),
    INTERVAL("HostFile", 3, hostFile),
    INTERVAL("Services", 7, services),
    INTERVAL("Hidden", 0, hidden),
    INTERVAL("WinInit", 5, winInit),
    OPT("RealtimeStartup", 1, realtimeStartup),
    OPT("RealtimeIEHelper", 1, realtimeIEHelper),
    OPT("RealtimeSysFiles", 1, realtimeSysFiles),
    OPT("RealtimeFileType", 0, realtimeFileType),
    OPT("RealtimeStartPage", 1, realtimeStartPage),
    OPT("RealtimeHidden", 0, realtimeHidden),
    OPT("ViewCookies", 0, viewCookies),
};
#undef OPT
#undef INTERVAL

int ClampToInt(long value)
{
    if (value > 0x7FFFFFFFL) return 0x7FFFFFFF;
    if (value < -0x7FFFFFFFL) return -0x7FFFFFFF;
    return (int)value;
}
}  // namespace

long GetOption(const char *name, long fallback)
{
    char text[129];
    if (StoreReadString(HKEY_CURRENT_USER, STORE_OPTIONS, name, text, sizeof text) <= 0)
        return fallback;
    return DecimalValue(text);
}

int SetOption(const char *name, long value)
{
    if (!StoreWriteDecimal(HKEY_CURRENT_USER, STORE_OPTIONS, name, value)) return 0;
    return StoreWriteString(HKEY_CURRENT_USER, STORE_OPTIONS, "Update", "1");
}

void LoadOptions(void)
{
    for (const OptionRow &row : kOptions) {
        int fallback = row.fallback;
        if (fallback < 0)
            fallback = programKind == PROGRAM_EXPLORER ? kMaxCookieExplorer : kMaxCookieMonitor;
        int value = ClampToInt(GetOption(row.name, fallback));
        *(int *)((char *)&settings + row.setting) = value;
        if (row.countdown == kNoCountdown) continue;
        int *countdown = (int *)((char *)&countdowns + row.countdown);
        // The restart-commands countdown may run long after a finding; it
        // is only raised, never cut short.
        if (row.countdown == (int)offsetof(Countdowns, winInit)) {
            if (*countdown < value) *countdown = value;
        } else {
            *countdown = value;
        }
    }
    groupToggle = 0;
}

int SaveOptions(void)
{
    int written = 0;
    for (const OptionRow &row : kOptions) {
        // The monitor's own choices, never the explorer's to write.
        if (!strcmp(row.name, "HideAlerts") || !strcmp(row.name, "MaxCookie")) continue;
        int value = *(const int *)((const char *)&settings + row.setting);
        // Only a setting that differs from the store is written, so that an
        // unchanged set does not make the monitor read its options again.
        if (GetOption(row.name, row.fallback) == value) continue;
        if (StoreWriteDecimal(HKEY_CURRENT_USER, STORE_OPTIONS, row.name, value)) written++;
    }
    if (written) StoreWriteString(HKEY_CURRENT_USER, STORE_OPTIONS, "Update", "1");
    return written;
}

const WindowPosNames POS_ALERT = {"xPosAlert", "yPosAlert", "dxAlert", "dyAlert"};
const WindowPosNames POS_SYSFILES = {"xPosSysFiles", "yPosSysFiles", "dxSysFiles", "dySysFiles"};
const WindowPosNames POS_EXPLORER = {"xPos", "yPos", "dxPos", "dyPos"};
const WindowPosNames POS_COOKIE = {"xCookie", "yCookie", "dxCookie", "dyCookie"};
const WindowPosNames POS_INFO = {"xInfo", "yInfo", "dxInfo", "dyInfo"};
const WindowPosNames POS_ADD_FILE_TYPE = {"xPosAddFileType", "yPosAddFileType",
                                          "dxPosAddFileType", "dyPosAddFileType"};

int SaveWindowPos(HWND window, const WindowPosNames *names, int page)
{
    RECT r;
    if (!window || !names || !GetWindowRect(window, &r)) return 0;
    StoreWriteDecimal(HKEY_CURRENT_USER, STORE_ROOT, names->left, r.left);
    StoreWriteDecimal(HKEY_CURRENT_USER, STORE_ROOT, names->top, r.top);
    StoreWriteDecimal(HKEY_CURRENT_USER, STORE_ROOT, names->width, r.right - r.left);
    StoreWriteDecimal(HKEY_CURRENT_USER, STORE_ROOT, names->height, r.bottom - r.top);
    return SetOption("StartTab", page);
}

void RestoreWindowPos(HWND window, const WindowPosNames *names, int page)
{
    SetOption("StartTab", page);
    if (!window || !names) return;

    RECT r;
    GetWindowRect(window, &r);
    int width = r.right - r.left, height = r.bottom - r.top;
    int screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);

    char left[33], top[33];
    if (StoreReadString(HKEY_CURRENT_USER, STORE_ROOT, names->left, left, sizeof left) > 0 &&
        StoreReadString(HKEY_CURRENT_USER, STORE_ROOT, names->top, top, sizeof top) > 0) {
        long x = DecimalValue(left), y = DecimalValue(top);
        // A place off the screen (a resolution change, or -32000 saved from
        // a minimised window) falls back to the middle of the primary screen.
        long virtualLeft = GetSystemMetrics(SM_XVIRTUALSCREEN);
        long virtualTop = GetSystemMetrics(SM_YVIRTUALSCREEN);
        if (x > GetSystemMetrics(SM_CXVIRTUALSCREEN) || x + width <= virtualLeft) x = screenWidth / 2;
        if (y > GetSystemMetrics(SM_CYVIRTUALSCREEN) || y < virtualTop) y = screenHeight / 2;
        SetWindowPos(window, nullptr, (int)x, (int)y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        return;
    }
    SetWindowPos(window, nullptr, (screenWidth - width) / 2, (screenHeight - height) / 3, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
