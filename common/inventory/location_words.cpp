// Location words: see location_words.h.
#include "location_words.h"

#include <windows.h>

#include "locations.h"
#include "store.h"
#include "text.h"
#include "ui_strings.h"

namespace {

const char *const kHives[] = {"HKLM", "HKCU", "HKU"};
const char *const kRunWords[] = {"Run", "RunOnce", "RunOnceEx", "RunServices", "RunServicesOnce",
                                 "RunOnce\\Setup", "Policies Run"};

const struct {
    int type;
    UINT words;
} kPlaceWords[] = {
    {ITEM_WIN_LOAD, 3800},          {ITEM_WIN_RUN, 3801},           {ITEM_WINLOGON_USERINIT, 3804},
    {ITEM_WINLOGON_SHELL, 3805},    {ITEM_DELAYLOAD, 3806},         {ITEM_TASK_SCHEDULER, 3807},
    {ITEM_SHELL_EXECUTE_HOOK, 3808}, {ITEM_APPINIT_DLLS, 3809},     {ITEM_WINLOGON_NOTIFY, 3810},
    {ITEM_IFEO_DEBUGGER, 3814},     {ITEM_SILENT_EXIT_MONITOR, 3815}, {ITEM_ACTIVE_SETUP, 3816},
    {ITEM_BOOT_EXECUTE, 3817},      {ITEM_WINLOGON_VALUE, 3818},
};

// 1 when path lies inside folder (a name of the folder's, not a longer
// folder name that starts the same).
int LiesIn(const char *path, const char *folder)
{
    size_t length = strlen(folder);
    while (length > 0 && folder[length - 1] == '\\') length--;
    if (length == 0 || strlen(path) <= length || path[length] != '\\') return 0;
    return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, path, (int)length, folder, (int)length) ==
           CSTR_EQUAL;
}

}  // namespace

int IsAllUsersStartupFile(const char *path)
{
    if (!path || !path[0]) return 0;
    char folder[PATH_SIZE];
    if (StoreReadString(HKEY_LOCAL_MACHINE, SHELL_FOLDERS_KEY, "Common Startup", folder, sizeof folder) <= 0)
        return 0;
    return LiesIn(path, folder);
}

int LocationWords(const Item *record, char *out, int size)
{
    if (!out || size <= 0) return 0;
    out[0] = 0;
    if (!record) return 0;
    int type = record->type, family = type / 10, key = type % 10;
    if (type > 0 && type < 30 && key >= 1 && key <= 7) {
        FormatTextCut(out, (size_t)size, "%s %s", kHives[family], kRunWords[key - 1]);
    } else if (type == ITEM_STARTUP_FOLDER) {
        // A disabled shortcut waits in the Disabled folder: which Startup
        // folder it came from is not told by where it is now.
        UINT words = record->disabled ? 3811 : IsAllUsersStartupFile(record->name) ? 3803 : 3802;
        LoadUiString(words, out, size);
    } else {
        for (const auto &place : kPlaceWords)
            if (place.type == type) LoadUiString(place.words, out, size);
        if (!out[0]) DescribeLocationOfType(type, 0, out, size);
    }
    if (record->view == VIEW_32) {
        char view[64];
        LoadUiString(2115, view, sizeof view);
        AppendTextCut(out, (size_t)size, view);
    }
    return (int)strlen(out);
}

int DescribeEntryLocation(const Item *record, int disabled, char *out, int size)
{
    if (!out || size <= 0) return 0;
    out[0] = 0;
    if (!record) return 0;
    int length = DescribeLocationOfType(record->type, disabled, out, size);
    if (record->view == VIEW_32) {
        char view[64];
        LoadUiString(2115, view, sizeof view);
        length = (int)AppendTextCut(out, size, view);
    }
    return length;
}

int DescribeLocation(int index, int disabled, char *out, int size)
{
    if (!out || size <= 0) return 0;
    out[0] = 0;
    if (index < 0 || index >= ItemCount()) return 0;
    return DescribeEntryLocation(GetItem(index), disabled, out, size);
}

int DescribeLocationOfType(int type, int disabled, char *out, int size)
{
    if (!out || size <= 0) return 0;
    out[0] = 0;
    if (type > ITEM_WINLOGON_VALUE) {
        int stringId = type == ITEM_TASK    ? 726
                       : type == ITEM_TASK2 ? 3886
                       : type == ITEM_BHO   ? 725
                       : type == ITEM_TOOLBAR ? 724
                                              : 0;
        return stringId ? LoadUiString(stringId, out, size) : 0;
    }
    if (disabled) {
        char word[64];
        LoadUiString(626, word, sizeof word);
        FormatTextCut(out, size, " * %s * ", word);
    }
    static const char *const kRunNames[] = {"Run", "RunOnce", "RunOnceEx", "RunServices",
                                            "RunServicesOnce"};
    static const struct {
        int type;
        UINT text;
    } kPlaces[] = {
        {ITEM_WIN_LOAD, 2101},          {ITEM_WIN_RUN, 2102},       {ITEM_STARTUP_FOLDER, 2103},
        {ITEM_WINLOGON_USERINIT, 2104}, {ITEM_WINLOGON_SHELL, 2105}, {ITEM_DELAYLOAD, 2106},
        {ITEM_TASK_SCHEDULER, 2107},    {ITEM_SHELL_EXECUTE_HOOK, 2108},
        {ITEM_APPINIT_DLLS, 2109},      {ITEM_WINLOGON_NOTIFY, 2110},
        {ITEM_IFEO_DEBUGGER, 2122},     {ITEM_SILENT_EXIT_MONITOR, 2123},
        {ITEM_ACTIVE_SETUP, 2124},      {ITEM_BOOT_EXECUTE, 2125},
        {ITEM_WINLOGON_VALUE, 2126},
    };
    char text[256] = "";
    int family = type / 10, keyNumber = type % 10;
    if (type < 30 && keyNumber >= 1 && keyNumber <= 5) {
        LoadUiString(2111 + family, text, sizeof text);   // HKLM, HKCU or HKEY_USER
        AppendTextCut(text, sizeof text, kRunNames[keyNumber - 1]);
    }
    for (const auto &place : kPlaces)
        if (place.type == type) LoadUiString(place.text, text, sizeof text);
    return (int)AppendTextCut(out, size, text);
}
