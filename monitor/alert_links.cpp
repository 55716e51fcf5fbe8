// Sentrel.exe: pages opened from the alerts. Only pages in the program
// folder are opened here (the knowledge base and the help pages); the
// lookup on the maker's web server belongs to the program information
// lookup, which takes over these two functions when it is built.
#include <windows.h>
#include <shellapi.h>

#include <cctype>

#include "alerts.h"
#include "program_files.h"
#include "text.h"
#include "ui_strings.h"

namespace {
void OpenLocalPage(HWND owner, const char *folder, const char *name)
{
    char page[PATH_SIZE];
    if (!FormatText(page, sizeof page, "%s\\%s", folder, name)) return;
    if (GetFileAttributesA(page) == INVALID_FILE_ATTRIBUTES) return;
    ShellExecuteA(owner, "open", page, nullptr, nullptr, SW_SHOWNORMAL);
}
}  // namespace

void OpenAlertProgramInfo(HWND owner, int, const char *command)
{
    char path[PATH_SIZE], file[PATH_SIZE], folder[PATH_SIZE], page[PATH_SIZE];
    if (!command || ResolveCommandPath(command, path) <= 0 || FileNamePart(path, file, sizeof file) <= 0)
        return;
    if (GetProgramFolder(folder) <= 0) return;
    // The knowledge-base key: the file name in lower case up to its first
    // ".", "-", "," or "~".
    int length = 0;
    for (const char *p = file; *p && length < (int)sizeof page - 1; p++) {
        char c = (char)tolower((unsigned char)*p);
        if (length > 0 && (c == '.' || c == '-' || c == ',' || c == '~')) break;
        if (c == ' ' || c == '?' || c == ':') c = '_';
        if (c == '\\' || c == '/') continue;
        page[length++] = c;
    }
    page[length] = 0;
    char name[PATH_SIZE];
    if (FormatText(name, sizeof name, "kbase\\%s.html", page)) OpenLocalPage(owner, folder, name);
}

void OpenAlertHelpPage(HWND owner, int command)
{
    char folder[PATH_SIZE], code[16], name[64];
    if (GetProgramFolder(folder) <= 0) return;
    const char *page = command == 6051 ? "helpme.html" : "features.html";
    LoadUiString(634, code, sizeof code);
    if (code[0] && !TextEqualNoCase(code, "us"))
        FormatText(name, sizeof name, "%s_%s", code, page);
    else
        CopyText(name, sizeof name, page);
    OpenLocalPage(owner, folder, name);
}
