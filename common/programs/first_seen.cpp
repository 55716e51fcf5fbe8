#include "first_seen.h"

#include "dates.h"
#include "program_files.h"
#include "store.h"
#include "text.h"

const char *FirstSeenKey(int type)
{
    if (type < 300) return DETECTED_STARTUP;
    switch (type) {
    case 370: return DETECTED_HIDDEN;
    case 400: return DETECTED_FILETYPES;
    case 700: case 701: return DETECTED_SERVICES;
    case 800: return DETECTED_TASKS;
    case 900: case 901: case 902: return DETECTED_IEHELPER;
    default: return DETECTED_ACTIVETASKS;
    }
}

int RecordFirstSeen(const char *path, const char *categoryKey)
{
    char file[PATH_SIZE], found[PATH_SIZE];
    if (!ResolveCommandPath(path, file)) return 0;
    // FileExists may turn a bare name into the full path it found; the date
    // is kept under the resolved name, which GetFirstSeen looks up.
    CopyText(found, sizeof found, file);
    if (!FileExists(found)) return 0;
    char date[DATE_TEXT_SIZE];
    if (StoreReadString(HKEY_CURRENT_USER, categoryKey, file, date, sizeof date) > 0) return 1;
    FormatNow(date);
    StoreWriteString(HKEY_CURRENT_USER, categoryKey, file, date);
    return 0;
}

int GetFirstSeen(const char *path, int type, char *out)
{
    out[0] = 0;
    char file[PATH_SIZE];
    if (!ResolveCommandPath(path, file)) return 0;
    return StoreReadString(HKEY_CURRENT_USER, FirstSeenKey(type), file, out, DATE_TEXT_SIZE);
}
