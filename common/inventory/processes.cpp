// Running programs: enumeration and termination.
#include "processes.h"

#include <tlhelp32.h>

#include <cstdlib>
#include <cstring>

#include "history.h"
#include "items.h"
#include "platform.h"
#include "program_files.h"
#include "text.h"
#include "ui_strings.h"
#include "version_names.h"

namespace {
typedef BOOL(WINAPI *EnumProcessesProc)(DWORD *, DWORD, DWORD *);
typedef BOOL(WINAPI *EnumProcessModulesProc)(HANDLE, HMODULE *, DWORD, DWORD *);
typedef DWORD(WINAPI *GetModuleFileNameExProc)(HANDLE, HMODULE, LPSTR, DWORD);
typedef BOOL(CALLBACK *TaskEnumProcEx)(DWORD, WORD, WORD, PSZ, PSZ, LPARAM);
typedef INT(WINAPI *VdmEnumTaskWowExProc)(DWORD, TaskEnumProcEx, LPARAM);

const DWORD kStillActive = 259;

struct WalkState {
    ProcessVisitor visit;
    void *context;
    DWORD processId;
    int stopped;
};

BOOL CALLBACK VisitTask(DWORD, WORD task, WORD, PSZ, PSZ fileName, LPARAM param)
{
    WalkState *state = (WalkState *)param;
    char file[PATH_SIZE];
    CopyTextCut(file, sizeof file, fileName);
    if (!state->visit(state->processId, task, file, state->context)) {
        state->stopped = 1;
        return TRUE;   // stops the task walk
    }
    return FALSE;
}

int WalkToolhelp(ProcessVisitor visit, void *context)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        char file[PATH_SIZE];
        CopyTextCut(file, sizeof file, entry.szExeFile);
        if (!visit(entry.th32ProcessID, 0, file, context)) break;
    }
    CloseHandle(snapshot);
    return 1;
}

int WalkPsapi(ProcessVisitor visit, void *context)
{
    HMODULE psapi = LoadLibraryA("PSAPI.DLL");
    HMODULE vdmdbg = LoadLibraryA("VDMDBG.DLL");
    EnumProcessesProc enumProcesses = nullptr;
    EnumProcessModulesProc enumModules = nullptr;
    GetModuleFileNameExProc moduleFileName = nullptr;
    VdmEnumTaskWowExProc enumTasks = nullptr;
    if (psapi) {
        enumProcesses = (EnumProcessesProc)(void *)GetProcAddress(psapi, "EnumProcesses");
        enumModules = (EnumProcessModulesProc)(void *)GetProcAddress(psapi, "EnumProcessModules");
        moduleFileName = (GetModuleFileNameExProc)(void *)GetProcAddress(psapi, "GetModuleFileNameExA");
    }
    if (vdmdbg) enumTasks = (VdmEnumTaskWowExProc)(void *)GetProcAddress(vdmdbg, "VDMEnumTaskWOWEx");
    int ran = 0;
    if (enumProcesses && enumModules && moduleFileName && enumTasks) {
        DWORD size = 1024, used = 0;
        DWORD *ids = nullptr;
        for (;;) {
            DWORD *bigger = (DWORD *)realloc(ids, size);
            if (!bigger) break;
            ids = bigger;
            if (!enumProcesses(ids, size, &used)) {
                used = 0;
                break;
            }
            if (used < size) break;
            size *= 2;
        }
        ran = ids != nullptr;
        WalkState state = {visit, context, 0, 0};
        for (DWORD i = 0; ids && i < used / sizeof(DWORD) && !state.stopped; i++) {
            char file[PATH_SIZE] = "";
            HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, ids[i]);
            if (process) {
                HMODULE module;
                DWORD needed;
                if (enumModules(process, &module, sizeof module, &needed) &&
                    moduleFileName(process, module, file, sizeof file) == 0)
                    file[0] = 0;
                file[sizeof file - 1] = 0;
                CloseHandle(process);
            }
            if (!visit(ids[i], 0, file, context)) break;
            size_t len = strlen(file);
            if (len >= 9 && TextEqualNoCase(file + len - 9, "NTVDM.EXE")) {
                state.processId = ids[i];
                enumTasks(ids[i], VisitTask, (LPARAM)&state);
            }
        }
        free(ids);
    }
    if (vdmdbg) FreeLibrary(vdmdbg);
    if (psapi) FreeLibrary(psapi);
    return ran;
}

int AddRunningProgram(DWORD processId, WORD, const char *file, void *)
{
    if (!file[0]) return 1;
    char path[PATH_SIZE];
    if (!ResolveCommandPath(file, path)) return 1;
    for (int i = 0; i < ItemCount(); i++)
        if (TextEqualNoCase(GetItemPath(i), path)) return 1;
    VersionNames names;
    ReadVersionNames(path, &names);
    // The program file is the record's identity: two programs of one file
    // name in two folders are two entries.
    ItemIdentity identity = {path, VIEW_NATIVE, 0, nullptr};
    AddItemAs(identity, names.fileDescription, path, "", "", ITEM_PROCESS, (int)processId);
    return 1;
}

struct Match {
    char wanted[PATH_SIZE];
    char wantedName[PATH_SIZE];
    DWORD found;
};

int MatchProgram(DWORD processId, WORD, const char *file, void *context)
{
    Match *match = (Match *)context;
    if (!file[0]) return 1;
    char resolved[PATH_SIZE], longForm[PATH_SIZE];
    if (ResolveCommandPath(file, resolved)) {
        if (!GetLongPath(longForm, resolved)) CopyText(longForm, sizeof longForm, resolved);
        if (TextEqualNoCase(longForm, match->wanted) || TextEqualNoCase(resolved, match->wanted)) {
            match->found = processId;
            return 0;
        }
    }
    const char *slash = strrchr(file, '\\');
    if (TextEqualNoCase(slash ? slash + 1 : file, match->wantedName)) {
        match->found = processId;
        return 0;
    }
    return 1;
}

DWORD FindProgram(const char *path)
{
    Match match = {};
    if (!path || !path[0]) return 0;
    if (!ResolveCommandPath(path, match.wanted)) CopyTextCut(match.wanted, sizeof match.wanted, path);
    CopyTextCut(match.wantedName, sizeof match.wantedName, path);
    EnumerateProcesses(MatchProgram, &match);
    return match.found;
}
// The program file of a running process, resolved as the process list has
// it. 0 when the process cannot be asked.
int ProcessProgram(HANDLE process, char *out)
{
    out[0] = 0;
    char file[PATH_SIZE] = "";
    HMODULE psapi = LoadLibraryA("PSAPI.DLL");
    GetModuleFileNameExProc moduleFileName =
        psapi ? (GetModuleFileNameExProc)(void *)GetProcAddress(psapi, "GetModuleFileNameExA") : nullptr;
    DWORD n = moduleFileName ? moduleFileName(process, nullptr, file, sizeof file) : 0;
    if (psapi) FreeLibrary(psapi);
    if (n == 0 || n >= sizeof file) return 0;
    return ResolveCommandPath(file, out);
}

int SameProgramFile(const char *a, const char *b)
{
    if (TextEqualNoCase(a, b)) return 1;
    char longA[PATH_SIZE], longB[PATH_SIZE];
    if (!GetLongPath(longA, a) && !longA[0]) return 0;
    if (!GetLongPath(longB, b) && !longB[0]) return 0;
    return TextEqualNoCase(longA, longB);
}
}  // namespace

int EnumerateProcesses(ProcessVisitor visit, void *context)
{
    if (!visit) return 0;
    return IsNtFamily() ? WalkPsapi(visit, context) : WalkToolhelp(visit, context);
}

int CountProcesses(void)
{
    FreeItems();
    EnumerateProcesses(AddRunningProgram, nullptr);
    return ItemCount();
}

int IsProgramRunning(const char *path)
{
    return FindProgram(path) != 0;
}

DWORD StopProgram(const char *path, const char *title, int confirm)
{
    DWORD id = FindProgram(path);
    if (!id) return 0;
    if (confirm) {
        char format[512], text[2048], caption[64];
        LoadUiString(707, format, sizeof format);
        LoadUiString(2, caption, sizeof caption);
        // The template is a translatable text: its "%s" is filled, never
        // used as a format.
        const char *name = title && title[0] ? title : path;
        if (!FillTemplate(text, sizeof text, format, &name, 1)) CopyTextCut(text, sizeof text, format);
        if (UiMessageBoxText(startupOwner, text, caption, MB_YESNO | MB_ICONQUESTION | MB_TOPMOST) !=
            IDYES)
            return id;
    }
    HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, id);
    if (!process) return 0;
    // The process ends with code 1: the "still active" code would make it
    // look as if it ran on.
    BOOL ended = TerminateProcess(process, 1);
    if (ended) WaitForSingleObject(process, 50);
    DWORD code = kStillActive;
    if (ended) GetExitCodeProcess(process, &code);
    CloseHandle(process);
    if (!ended || code == kStillActive) return 0;
    WriteHistory(title ? title : "", path, "", ITEM_PROCESS, 5);
    HWND tray = FindWindowA("Shell_TrayWnd", nullptr);
    if (tray) InvalidateRect(tray, nullptr, TRUE);
    return id;
}

int StopProcess(DWORD processId, const char *path)
{
    if (!processId || !path || !path[0]) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    HANDLE process = OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | SYNCHRONIZE,
                                 FALSE, processId);
    if (!process) return 0;
    // The id may have ended and been given to another program since the
    // list was read: only the program asked for is stopped.
    char running[PATH_SIZE], wanted[PATH_SIZE];
    if (!ProcessProgram(process, running) || !ResolveCommandPath(path, wanted) ||
        !SameProgramFile(running, wanted)) {
        CloseHandle(process);
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    BOOL ended = TerminateProcess(process, 1);
    DWORD error = GetLastError();
    if (ended) WaitForSingleObject(process, 2000);
    CloseHandle(process);
    if (!ended) SetLastError(error);
    return ended ? 1 : 0;
}
