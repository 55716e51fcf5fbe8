// SentrelEx.exe: the command-line switches. Every switch is found anywhere
// in the arguments, in any case ("-OPTIONS" is "-OPTION", "-nuts" "-NUT").
#include <windows.h>

#include "delayed_programs.h"
#include "explorer.h"
#include "locations.h"
#include "startup_changes.h"
#include "store.h"
#include "text.h"
#include "ui_strings.h"

namespace {

// Page switches in the order they are tested: of several, the last wins.
const struct {
    const char *text;
    int command;
} kPageSwitches[] = {
    {"-START", CMD_PAGE_STARTUP},     {"-SERVICE", CMD_PAGE_SERVICES},
    {"-BHO", CMD_PAGE_IE_HELPERS},    {"-COOKIE", CMD_VIEW_COOKIES},
    {"-NUT", CMD_PAGE_COOKIES},       {"-OPTION", CMD_PAGE_OPTIONS},
    {"-SCHEDULE", CMD_PAGE_SCHEDULE}, {"-TASK", CMD_PAGE_TASKS},
    {"-DELAY", CMD_PAGE_DELAY},       {"-FILETYPE", CMD_PAGE_FILE_TYPES},
    {"-HIDDEN", CMD_PAGE_HIDDEN},     {"-MONITOR", CMD_MONITOR},
    {"-BLACKLIST", CMD_BLACKLIST},    {"-EXIT", CMD_EXIT_REQUEST},
    {"-RESTART", CMD_PAGE_OPTIONS},
};

const struct {
    const char *text;
    OneShotSwitch which;
} kOneShotSwitches[] = {
    {"-Restore", ONE_SHOT_RESTORE},
    {"-AUOption", ONE_SHOT_AU_OPTION},
    {"-SetPrefix", ONE_SHOT_SET_PREFIX},
    {"-EnableAll", ONE_SHOT_ENABLE_ALL},
};

const char kPrefixesKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\URL\\Prefixes";
const char kDefaultPrefixKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\URL\\DefaultPrefix";

}  // namespace

int HasSwitch(const char *arguments, const char *name)
{
    return arguments && FindTextNoCase(arguments, name) != nullptr;
}

OneShotSwitch FindOneShotSwitch(const char *arguments)
{
    for (const auto &row : kOneShotSwitches)
        if (HasSwitch(arguments, row.text)) return row.which;
    return ONE_SHOT_NONE;
}

int PageFromSwitches(const char *arguments, int startPage, int *startMonitor)
{
    if (startMonitor) *startMonitor = 0;
    for (const auto &row : kPageSwitches) {
        if (!HasSwitch(arguments, row.text)) continue;
        startPage = row.command;
        if (row.command == CMD_PAGE_STARTUP && startMonitor) *startMonitor = 1;
    }
    return startPage;
}

int RunOneShotSwitch(OneShotSwitch which)
{
    switch (which) {
    case ONE_SHOT_AU_OPTION: {
        // The baseline is a REG_DWORD of 1 to 4.
        int baseline = StoreReadSmallNumber(HKEY_CURRENT_USER, STORE_ROOT, "AUOptions");
        if (baseline < 1 || baseline > 4) return 0;
        return StoreWriteNumber(HKEY_LOCAL_MACHINE, AUTO_UPDATE_KEY, "AUOptions", (DWORD)baseline);
    }
    case ONE_SHOT_SET_PREFIX: {
        char prefix[257];
        if (StoreReadString(HKEY_CURRENT_USER, STORE_ROOT, "wwwPrefix", prefix, sizeof prefix) <= 0 &&
            LoadUiString(1061, prefix, sizeof prefix) <= 0)
            return 0;
        int done = StoreWriteString(HKEY_LOCAL_MACHINE, kPrefixesKey, "www", prefix);
        return StoreWriteString(HKEY_LOCAL_MACHINE, kDefaultPrefixKey, "", prefix) && done;
    }
    case ONE_SHOT_RESTORE:
        // Every delayed program back into Windows' startup; one that cannot
        // be put back stays delayed.
        return RestoreAllDelayed() == 0;
    case ONE_SHOT_ENABLE_ALL: {
        // Before Sentrel goes (the uninstaller): every entry the user
        // disabled and every delayed program back into Windows' startup.
        int left = EnableAllStartupEntries();
        return RestoreAllDelayed() == 0 && left == 0;
    }
    default:
        return 0;
    }
}
