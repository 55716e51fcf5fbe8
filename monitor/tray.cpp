// Sentrel.exe: the notification-area icon.
#include <windows.h>
#include <shellapi.h>

#include "monitor.h"
#include "options.h"
#include "platform.h"
#include "text.h"
#include "ui_strings.h"

static int IdleIcon(void)
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
        LoadUiString(tip, data.szTip, 64);
        if (action == 0) icon = IdleIcon();
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
