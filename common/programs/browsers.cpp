#include "browsers.h"

#include "store.h"
#include "text.h"
#include "ui_strings.h"

namespace {
// The keys come from the string table (strings 12 and 5); these are the
// same texts for a table that lacks them.
const char kAppPathsIE[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\IEXPLORE.EXE";
const char kHttpCommand[] = "SOFTWARE\\Classes\\HTTP\\shell\\open\\command";

// A key named by the string table, or its fallback.
const char *KeyName(UINT id, const char *fallback, char *out, int size)
{
    return LoadUiString(id, out, size) > 0 ? out : fallback;
}

// The file of that name in Internet Explorer's folder (its App Paths
// "Path", first folder). Returns its length, 0 when the folder is unknown.
int IEFolderFile(const char *name, char *out)
{
    char folder[PATH_SIZE], key[256];
    if (StoreReadString(HKEY_LOCAL_MACHINE, KeyName(12, kAppPathsIE, key, sizeof key), "Path", folder, sizeof folder) <= 0)
        return 0;
    ReplaceChar(folder, ';', 0);
    RemoveBackslash(folder, 0);
    return (int)FormatText(out, PATH_SIZE, "%s\\%s", folder, name);
}
}  // namespace

int GetDefaultBrowser(char *out)
{
    out[0] = 0;
    char command[513];
    char key[256];
    if (StoreReadString(HKEY_LOCAL_MACHINE, KeyName(5, kHttpCommand, key, sizeof key), "", command, sizeof command) <= 0)
        return 0;

    // The program part of the command: the quoted text, or everything up to
    // the first option (a "-" behind a blank; a "-" inside a folder name
    // stays).
    char program[sizeof command];
    size_t n = 0;
    const char *c = command;
    while (*c == ' ') c++;
    if (*c == '"') {
        for (c++; *c && *c != '"'; c++) program[n++] = *c;
    } else {
        for (; *c; c++) {
            if (*c == '-' && (c == command || c[-1] == ' ')) break;
            if (*c != '"') program[n++] = *c;
        }
    }
    while (n > 0 && program[n - 1] == ' ') n--;
    program[n] = 0;
    if (program[0]) return (int)CopyText(out, PATH_SIZE, program);

    return IEFolderFile("IExplore.exe", out);
}

int DefaultBrowserKind(void)
{
    static const struct {
        const char *name;
        int kind;
    } kKinds[] = {{"iexplore", 1}, {"netscp", 2}, {"maxthon", 4},
                  {"avant", 5},    {"mozilla", 6}, {"firefox", 3}};
    char browser[PATH_SIZE];
    if (!GetDefaultBrowser(browser)) return 1;
    for (const auto &entry : kKinds)
        if (FindTextNoCase(browser, entry.name)) return entry.kind;
    return 1;
}

int GetIEPath(char *out)
{
    out[0] = 0;
    return IEFolderFile("iexplore.exe", out);
}

HWND FindAolWindow(void)
{
    static const struct {
        const char *className, *title;
    } kWindows[] = {{"AOL Frame25", "America  Online"}, {"AOL Frame25", "America Online"},
                    {"AOL Frame25", "AOL"},             {"AOL Frame25", "AOL Canada"},
                    {"AOL Frame", "America  Online"}};
    for (const auto &window : kWindows) {
        HWND found = FindWindowA(window.className, window.title);
        if (found) return found;
    }
    return nullptr;
}
