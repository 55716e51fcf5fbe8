// Sentrel.exe: the Windows Automatic Updates setting and the browser's
// default URL prefix, checked at the start of every patrol pass. Here Yes
// keeps the old setting: the machine-wide value is written back (on
// Windows Vista by the explorer, which may write there).
#include <windows.h>

#include "browser_settings.h"
#include "checks.h"
#include "items.h"
#include "monitor.h"
#include "platform.h"
#include "text.h"
#include "ui_strings.h"

namespace {
void Caption(UINT part, char *out /* 512 */)
{
    char name[256];
    LoadUiString(part, name, sizeof name);
    FormatTextCut(out, 512, "%s - %s", windowTitle, name);
}

void CheckAutoUpdate(int base)
{
    int current = ReadAutoUpdateSetting(VIEW_NATIVE);
    if (current == base) return;
    char before[512], after[512], caption[512];
    AutoUpdateText(base, before, sizeof before);
    AutoUpdateText(current, after, sizeof after);
    Caption(1050, caption);
    alertShown = 1;
    int answer = AskAboutSetting(1055, before, after, caption, MB_ICONEXCLAMATION);
    if (answer == 0) return;
    if (answer != IDYES)
        WriteAutoUpdateBaseline(current);
    else if (WindowsMajorVersion() < 6)
        WriteAutoUpdateSetting(VIEW_NATIVE, base);
    else
        StartExplorer("-AUOption");
}

void CheckUrlPrefix(void)
{
    SettingValue expected, current;
    int known = ReadUrlPrefixBaseline(&expected);
    ReadUrlPrefix(VIEW_NATIVE, &current);
    if (known && expected.text && current.text && !SamePrefix(&expected, &current)) {
        char caption[512];
        Caption(1060, caption);
        alertShown = 1;
        int answer = AskAboutSetting(1065, expected.text, current.text, caption, MB_ICONSTOP);
        if (answer == IDYES) {
            if (WindowsMajorVersion() < 6)
                RestoreUrlPrefix(VIEW_NATIVE, &expected);
            else
                StartExplorer("-SetPrefix");
        } else if (answer != 0) {
            ApproveUrlPrefix(&current);
        }
    }
    FreeSettingValue(&expected);
    FreeSettingValue(&current);
}
}  // namespace

int CheckUpdateSettings(void)
{
    int base = ReadAutoUpdateBaseline();
    if (base < 1 || base > 4) {
        // No usable baseline: the setting as it is becomes one. The prefix
        // waits for a pass that has a baseline.
        int current = ReadAutoUpdateSetting(VIEW_NATIVE);
        if (current != 0) WriteAutoUpdateBaseline(current);
        return 1;
    }
    CheckAutoUpdate(base);
    CheckUrlPrefix();
    return 0;
}
