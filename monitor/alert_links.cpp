// Sentrel.exe: pages opened from the alerts. "Info..." is the user's
// request for the program information (the knowledge-base page, else the
// lookup on the maker's web server). The help page that a program coming
// back again and again brings up is opened without being asked for, so it
// is only ever the page in the program folder: nothing goes online unasked.
#include <windows.h>
#include <shellapi.h>

#include "alerts.h"
#include "data_folders.h"
#include "program_files.h"
#include "program_info.h"
#include "text.h"

void OpenAlertProgramInfo(HWND owner, int number, const char *command)
{
    ShowProgramInfo(owner, number, command, AlertTitle);
}

void OpenAlertHelpPage(HWND owner, int command)
{
    char folder[PATH_SIZE], name[64], page[PATH_SIZE];
    if (GetProgramFolder(folder) <= 0 || !HelpPageName(command, name, sizeof name)) return;
    if (!FormatText(page, sizeof page, "%s\\%s", folder, name)) return;
    DWORD attributes = GetFileAttributesA(page);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return;
    ShellExecuteA(owner, "open", page, nullptr, nullptr, SW_SHOWNORMAL);
}
