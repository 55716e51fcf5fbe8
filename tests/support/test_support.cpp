#include "test_support.h"

#include <cstdio>

namespace test {

bool WriteValue(HKEY root, const std::string &path, const std::string &name, DWORD type,
                const void *data, DWORD size)
{
    HKEY key;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    LONG rc = RegSetValueExA(key, name.c_str(), 0, type, (const BYTE *)data, size);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

bool WriteString(HKEY root, const std::string &path, const std::string &name, const std::string &text)
{
    return WriteValue(root, path, name, REG_SZ, text.c_str(), (DWORD)text.size() + 1);
}

bool WriteDword(HKEY root, const std::string &path, const std::string &name, DWORD value)
{
    return WriteValue(root, path, name, REG_DWORD, &value, sizeof value);
}

bool ReadString(HKEY root, const std::string &path, const std::string &name, std::string *text)
{
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
    DWORD type = 0, size = 0;
    LONG rc = RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size);
    std::string data(size + 1, '\0');
    if (rc == ERROR_SUCCESS)
        rc = RegQueryValueExA(key, name.c_str(), nullptr, &type, (BYTE *)&data[0], &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) return false;
    data.resize(size);
    while (!data.empty() && data.back() == '\0') data.pop_back();
    if (text) *text = data;
    return true;
}

bool ValueExists(HKEY root, const std::string &path, const std::string &name)
{
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
    LONG rc = RegQueryValueExA(key, name.c_str(), nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

bool KeyExists(HKEY root, const std::string &path)
{
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

void DeleteTree(HKEY root, const std::string &path)
{
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    char sub[256];
    for (;;) {
        DWORD len = sizeof sub;
        if (RegEnumKeyExA(key, 0, sub, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        std::string child = path + "\\" + sub;
        DeleteTree(root, child);
        if (KeyExists(root, child)) break;
    }
    RegCloseKey(key);
    RegDeleteKeyA(root, path.c_str());
}

std::vector<std::string> ValueNames(HKEY root, const std::string &path)
{
    std::vector<std::string> names;
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
    char name[16384];
    for (DWORD i = 0;; i++) {
        DWORD len = sizeof name;
        if (RegEnumValueA(key, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name, len);
    }
    RegCloseKey(key);
    return names;
}

static void Dump(HKEY root, const std::string &path, std::string *out)
{
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    *out += "[" + path + "]\n";
    char name[16384];
    BYTE data[4096];
    for (DWORD i = 0;; i++) {
        DWORD len = sizeof name, size = sizeof data, type = 0;
        if (RegEnumValueA(key, i, name, &len, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
        char head[64];
        snprintf(head, sizeof head, "=%lu:", (unsigned long)type);
        *out += std::string(name, len) + head + std::string((const char *)data, size) + "\n";
    }
    std::vector<std::string> subs;
    char sub[256];
    for (DWORD i = 0;; i++) {
        DWORD len = sizeof sub;
        if (RegEnumKeyExA(key, i, sub, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        subs.emplace_back(sub, len);
    }
    RegCloseKey(key);
    for (const std::string &s : subs) Dump(root, path + "\\" + s, out);
}

std::string DumpTree(HKEY root, const std::string &path)
{
    std::string out;
    Dump(root, path, &out);
    return out;
}

void ResetSentrelRegistry()
{
    DeleteTree(HKEY_CURRENT_USER, "Software\\Orvendale");
    DeleteTree(HKEY_LOCAL_MACHINE, "Software\\Orvendale");
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", 0,
                      KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
        RegDeleteValueA(key, "Sentrel");
        RegDeleteValueA(key, "Sentrel Zenta");
        RegCloseKey(key);
    }
}

std::string BuildFolder()
{
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder(path, n);
    return folder.substr(0, folder.find_last_of('\\'));
}

static void RemoveFolderContents(const std::string &folder)
{
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        std::string path = folder + "\\" + name;
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            RemoveFolderContents(path);
            RemoveDirectoryA(path.c_str());
        } else {
            DeleteFileA(path.c_str());
        }
    } while (FindNextFileA(find, &found));
    FindClose(find);
}

std::string FreshFolder(const std::string &name)
{
    CreateDirectoryA("C:\\sentrel-tests", nullptr);
    std::string folder = "C:\\sentrel-tests\\" + name;
    CreateDirectoryA(folder.c_str(), nullptr);
    RemoveFolderContents(folder);
    return folder;
}

bool WriteFile(const std::string &path, const std::string &content)
{
    FILE *f = fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = fwrite(content.data(), 1, content.size(), f) == content.size();
    return fclose(f) == 0 && ok;
}

bool ReadFile(const std::string &path, std::string *content)
{
    FILE *f = fopen(path.c_str(), "rb");
    if (!f) return false;
    content->clear();
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) content->append(buffer, n);
    fclose(f);
    return true;
}

bool FileExistsAt(const std::string &path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool InstallMonitor(const std::string &folder, bool withAux)
{
    std::string build = BuildFolder();
    if (!CopyFileA((build + "\\Sentrel.exe").c_str(), (folder + "\\Sentrel.exe").c_str(), FALSE))
        return false;
    if (withAux &&
        !CopyFileA((build + "\\sentrelaux.dll").c_str(), (folder + "\\sentrelaux.dll").c_str(), FALSE))
        return false;
    return true;
}

Program Start(const std::string &folder, const std::string &program, const std::string &arguments)
{
    Program result;
    std::string path = folder + "\\" + program;
    std::string commandLine = "\"" + path + "\"";
    if (!arguments.empty()) commandLine += " " + arguments;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &info))
        return result;
    CloseHandle(info.hThread);
    result.process = info.hProcess;
    result.id = info.dwProcessId;
    return result;
}

bool WaitUntilReady(Program &program, DWORD milliseconds)
{
    return program.process && WaitForInputIdle(program.process, milliseconds) == 0;
}

bool WaitForExit(Program &program, DWORD milliseconds, DWORD *exitCode)
{
    if (!program.process) return true;
    if (WaitForSingleObject(program.process, milliseconds) != WAIT_OBJECT_0) return false;
    if (exitCode) GetExitCodeProcess(program.process, exitCode);
    return true;
}

void Stop(Program &program)
{
    if (!program.process) return;
    if (WaitForSingleObject(program.process, 0) != WAIT_OBJECT_0) {
        TerminateProcess(program.process, 1);
        WaitForSingleObject(program.process, 5000);
    }
    CloseHandle(program.process);
    program.process = nullptr;
}

HWND WaitForWindowFastPatrol(HWND monitor, const char *className, const char *title, DWORD milliseconds)
{
    HWND window = nullptr;
    WaitWithFastPatrol(monitor, [&] { return (window = FindWindowA(className, title)) != nullptr; }, milliseconds);
    return window;
}

HWND WaitForWindow(const char *className, const char *title, DWORD milliseconds)
{
    HWND window = nullptr;
    WaitUntil([&] { return (window = FindWindowA(className, title)) != nullptr; }, milliseconds);
    return window;
}

bool WaitForWindowGone(HWND window, DWORD milliseconds)
{
    return WaitUntil([&] { return !IsWindow(window); }, milliseconds);
}

HWND MonitorWindow()
{
    return FindWindowA("Sentrel", nullptr);
}

bool WaitForNoMonitor(DWORD milliseconds)
{
    return WaitUntil([] { return MonitorWindow() == nullptr; }, milliseconds);
}

static BOOL CALLBACK CountTrayIcon(HWND child, LPARAM context)
{
    char cls[64];
    GetClassNameA(child, cls, sizeof cls);
    if (lstrcmpiA(cls, "__winex11_tray_icon") == 0 && IsWindowVisible(child)) ++*(int *)context;
    return TRUE;
}

int VisibleTrayIcons()
{
    HWND tray = FindWindowA("__winex11_standalone_tray", nullptr);
    if (!tray || !IsWindowVisible(tray)) return 0;
    int count = 0;
    EnumChildWindows(tray, CountTrayIcon, (LPARAM)&count);
    return count;
}

bool WaitForTrayIcons(int count, DWORD milliseconds)
{
    return WaitUntil([&] { return VisibleTrayIcons() == count; }, milliseconds);
}

static BOOL CALLBACK CollectStatic(HWND child, LPARAM context)
{
    char cls[64];
    GetClassNameA(child, cls, sizeof cls);
    if (lstrcmpiA(cls, "Static") == 0) {
        char text[2048];
        GetWindowTextA(child, text, sizeof text);
        if (text[0]) {
            std::string *out = (std::string *)context;
            if (!out->empty()) *out += "|";
            *out += text;
        }
    }
    return TRUE;
}

std::string DialogText(HWND dialog)
{
    std::string out;
    EnumChildWindows(dialog, CollectStatic, (LPARAM)&out);
    return out;
}

void PressButton(HWND dialog, int id)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(dialog, id));
}

}  // namespace test
