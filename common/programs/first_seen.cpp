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

int GetFirstSeenMany(const char *const *paths, const int *types, int count, char (*dates)[DATE_TEXT_SIZE])
{
    const int kBatch = 32;   // StoreReadStrings reads at most this many
    static char files[kBatch][PATH_SIZE];
    int found = 0;
    for (int first = 0; first < count;) {
        const char *key = FirstSeenKey(types[first]);
        StoreText texts[kBatch];
        int n = 0, end = first;
        for (; end < count && n < kBatch && FirstSeenKey(types[end]) == key; end++) {
            dates[end][0] = 0;
            // A path that names no program file has no date.
            if (!ResolveCommandPath(paths[end], files[n])) continue;
            texts[n] = {files[n], dates[end], DATE_TEXT_SIZE};
            n++;
        }
        if (n) StoreReadStrings(HKEY_CURRENT_USER, key, texts, n);
        for (int i = 0; i < n; i++) found += texts[i].buffer[0] != 0;
        first = end;
    }
    return found;
}
