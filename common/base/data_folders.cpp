#include "data_folders.h"

#include <windows.h>
#include <shlobj.h>

#include <cstring>

#include "text.h"

namespace {

// Found once per process: both programs look at the same folders, and the
// answer does not change while they run.
char machineFolder[PATH_SIZE];
char userFolder[PATH_SIZE];

// "<known folder>\Sentrel", made when missing; 1 when it can be written.
int OwnFolderUnder(int csidl, char *out)
{
    char base[MAX_PATH];
    out[0] = 0;
    if (FAILED(SHGetFolderPathA(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, base)))
        return 0;
    if (!FormatText(out, PATH_SIZE, "%s\\Sentrel", base)) return 0;
    CreateDirectoryA(out, nullptr);
    if (IsFolderWritable(out)) return 1;
    out[0] = 0;
    return 0;
}

int FindUserFolder(void)
{
    if (userFolder[0]) return 1;
    char folder[PATH_SIZE];
    if (GetProgramFolder(folder) && IsFolderWritable(folder)) return CopyText(userFolder, PATH_SIZE, folder) != 0;
    return OwnFolderUnder(CSIDL_LOCAL_APPDATA, userFolder);
}

}  // namespace

int IsFolderWritable(const char *folder)
{
    char probe[PATH_SIZE];
    if (!folder || !folder[0] ||
        !FormatText(probe, sizeof probe, "%s\\~sentrel-%lu-%lu.tmp", folder, GetCurrentProcessId(), GetTickCount()))
        return 0;
    HANDLE file = CreateFileA(probe, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    CloseHandle(file);
    return 1;
}

int GetDataFolder(char *out)
{
    out[0] = 0;
    if (!machineFolder[0]) {
        char folder[PATH_SIZE];
        if (GetProgramFolder(folder) && IsFolderWritable(folder))
            CopyText(machineFolder, PATH_SIZE, folder);
        else if (!OwnFolderUnder(CSIDL_COMMON_APPDATA, machineFolder) && FindUserFolder())
            CopyText(machineFolder, PATH_SIZE, userFolder);
    }
    return (int)CopyText(out, PATH_SIZE, machineFolder);
}

int GetUserDataFolder(char *out)
{
    out[0] = 0;
    if (!FindUserFolder()) return 0;
    return (int)CopyText(out, PATH_SIZE, userFolder);
}

void ForgetDataFolders(void)
{
    machineFolder[0] = 0;
    userFolder[0] = 0;
}

int GetProgramFolder(char *out)
{
    out[0] = 0;
    char path[PATH_SIZE];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    if (n == 0 || n >= sizeof path - 1) return 0;
    char *slash = strrchr(path, '\\');
    if (!slash) return 0;
    *slash = 0;
    return (int)CopyText(out, PATH_SIZE, path);
}
