// Sentrel.exe: the notification-area icon, its pictures and tips, and the
// menu behind it.
#include <windows.h>
#include <shellapi.h>

#include "always_run.h"
#include "monitor.h"
#include "options.h"
#include "platform.h"
#include "text.h"
#include "trace.h"
#include "ui_strings.h"

int trayBusy;

namespace {
// The tray menu, top to bottom: UI string and command; 0, 0 is a separator.
enum Shown { ALWAYS, NT_ONLY, NOT_NT };
const struct {
    UINT text;
    int command;
    Shown shown;
} kMenu[] = {
    {610, CMD_SHOW_OPTIONS, ALWAYS}, {0, 0, ALWAYS},
    {503, CMD_SHOW_STARTUP, ALWAYS}, {1020, CMD_SHOW_DELAY, ALWAYS}, {697, CMD_SHOW_IE_HELPERS, ALWAYS},
    {509, CMD_SHOW_SERVICES, NT_ONLY}, {685, CMD_SHOW_SCHEDULE, ALWAYS}, {0, 0, ALWAYS},
    {504, CMD_SHOW_TASKS, ALWAYS}, {505, CMD_SHOW_COOKIES, ALWAYS}, {510, CMD_SHOW_FILE_TYPES, ALWAYS},
    {1018, CMD_SHOW_HIDDEN, ALWAYS}, {507, CMD_RESTART_COMMANDS, NOT_NT}, {0, 0, ALWAYS},
    {508, CMD_EXIT, ALWAYS},
};

void ShowTrayMenu(POINT at)
{
    HMENU menu = CreatePopupMenu();
    if (!menu) return;
    int nt = IsNtFamily();
    for (const auto &entry : kMenu) {
        if ((entry.shown == NT_ONLY && !nt) || (entry.shown == NOT_NT && nt)) continue;
        if (!entry.text) {
            AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
            continue;
        }
        char text[128];
        LoadUiString(entry.text, text, sizeof text);
        AppendMenuA(menu, MF_STRING, entry.command, text);
    }
    SetForegroundWindow(mainWindow);
    TrackPopupMenu(menu, TPM_VERTICAL | TPM_RIGHTBUTTON, at.x, at.y, 0, mainWindow, nullptr);
    // Lets the menu close properly when the user clicks elsewhere.
    PostMessageA(mainWindow, WM_NULL, 0, 0);
    DestroyMenu(menu);
}
}  // namespace

int TrayIdleIcon(void)
{
    return (int)GetOption("TrayIcon", IsNtFamily() ? 101 : 159);
}

int TrayIcon(int action, int icon, UINT tip)
{
    if (settings.hideWuffin == 1) return 0;
    NOTIFYICONDATAA data = {};
    data.cbSize = sizeof data;
    data.hWnd = mainWindow;
    data.uID = TRAY_ICON_ID;
    if (action == 0 || action == 1) {
        data.uFlags = NIF_MESSAGE | NIF_TIP;
        data.uCallbackMessage = WM_TRAY_CALLBACK;
        LoadUiString(tip, data.szTip, sizeof data.szTip < 64 ? sizeof data.szTip : 64);
        if (action == 0) icon = TrayIdleIcon();
        if (icon != 0) {
            data.hIcon = (HICON)LoadImageA(instance, MAKEINTRESOURCEA(icon), IMAGE_ICON,
                                           GetSystemMetrics(SM_CXSMICON),
                                           GetSystemMetrics(SM_CYSMICON), LR_SHARED);
            if (data.hIcon) data.uFlags |= NIF_ICON;
        }
    }
    DWORD operation = action == 0 ? NIM_ADD : action == 1 ? NIM_MODIFY : NIM_DELETE;
    Shell_NotifyIconA(operation, &data);
    return 1;
}

int SetPatrolStatus(int icon, UINT tip)
{
    return TrayIcon(1, icon, tip);
}

void OnTrayEvent(UINT iconId, UINT mouseMessage)
{
    if (trayBusy) return;
    trayBusy = 1;
    POINT at;
    GetCursorPos(&at);
    alwaysRun = IsAlwaysRun();
    if (mouseMessage == WM_LBUTTONDBLCLK) {
        TraceNote("Tray Action", "Double Click");
        SetForegroundWindow(mainWindow);
        PostMessageA(mainWindow, WM_COMMAND, CMD_SHOW_STARTUP, 0);
    } else if (mouseMessage == WM_RBUTTONUP && iconId == TRAY_ICON_ID) {
        ShowTrayMenu(at);
    }
    trayBusy = 0;
}
