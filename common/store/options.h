// Options (HKCU Software\Orvendale\Sentrel\Options, decimal text) and the
// program's loaded copy of them, and the stored places of dialogs.
#pragma once
#include <windows.h>

// Which program this is; the explorer takes more cookies per list.
enum ProgramKind { PROGRAM_MONITOR, PROGRAM_EXPLORER };
extern ProgramKind programKind;

// The loaded options, in the order LoadOptions reads them.
struct Settings {
    int hideWuffin, hideAlerts, format, confirmExit, sound, history;
    int hideMicrosoftServices, lockFileTypes, showAllStartup, zentaFormat, maxCookie;
    // Patrol intervals, in visits of the category's patrol group.
    int start, cookies, nuts, tasks, ieHelpers, fileType, startPage, hostFile, services,
        hidden, winInit;
    int realtimeStartup, realtimeIEHelper, realtimeSysFiles, realtimeFileType,
        realtimeStartPage, realtimeHidden;
    int viewCookies;
};
extern Settings settings;

// Patrol countdowns, one per category with an interval; LoadOptions resets
// them. The patrol counts them down.
struct Countdowns {
    int start, cookies, nuts, tasks, ieHelpers, fileType, startPage, hostFile, services,
        hidden, winInit;
};
extern Countdowns countdowns;
extern int groupToggle;   // 0 = the next pass runs group A

// The option as a number; a missing or empty value gives fallback, other
// text its leading decimal value ("abc" gives 0).
long GetOption(const char *name, long fallback);

// Writes the option as decimal text and raises "Update" so the monitor
// reloads its options. 1 or 0.
int SetOption(const char *name, long value);

// Reads every option into settings and resets the patrol countdowns.
void LoadOptions(void);

// Writes the settings in memory back to the store (the explorer at its
// exit): only those that differ from what is stored, then "Update" when
// any was. Returns the number written.
int SaveOptions(void);

// Window position value sets: left, top, width, height.
struct WindowPosNames {
    const char *left, *top, *width, *height;
};
extern const WindowPosNames POS_ALERT, POS_SYSFILES, POS_EXPLORER, POS_COOKIE, POS_INFO, POS_ADD_FILE_TYPE;

// Stores the window's place and size, then the current page as "StartTab".
int SaveWindowPos(HWND window, const WindowPosNames *names, int page);

// Moves the window to its stored place (kept on the screen), or centres it
// in the upper part of the primary screen when none is stored.
void RestoreWindowPos(HWND window, const WindowPosNames *names, int page);
