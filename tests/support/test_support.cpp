#include "test_support.h"

#include <cstdio>

namespace test {

std::wstring Wide(const std::string &text)
{
    int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), (int)text.size(), nullptr, 0);
    std::wstring wide((size_t)n, L'\0');
    if (n) MultiByteToWideChar(CP_UTF8, 0, text.data(), (int)text.size(), &wide[0], n);
    return wide;
}

std::string Utf8(const std::wstring &wide)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), (int)wide.size(), nullptr, 0, nullptr, nullptr);
    std::string text((size_t)n, '\0');
    if (n) WideCharToMultiByte(CP_UTF8, 0, wide.data(), (int)wide.size(), &text[0], n, nullptr, nullptr);
    return text;
}

namespace {
// The native value calls, which take counted names (a NUL inside one too).
struct CountedName {
    USHORT length, room;
    PWSTR buffer;
};
CountedName Counted(const std::wstring &name)
{
    return {(USHORT)(name.size() * 2), (USHORT)(name.size() * 2), (PWSTR)name.data()};
}
FARPROC Native(const char *name)
{
    return GetProcAddress(GetModuleHandleA("ntdll.dll"), name);
}
}  // namespace

bool WriteValue(HKEY root, const std::string &path, const std::string &name, DWORD type,
                const void *data, DWORD size)
{
    HKEY key;
    if (RegCreateKeyExW(root, Wide(path).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    LONG rc;
    if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) {
        // Text is written as the units it stands for, byte count as given.
        // The unit after the data is no zero, or the registry would take it
        // for the terminator the data may lack on purpose.
        std::wstring units = Wide(std::string((const char *)data, size));
        size_t count = units.size();
        units.push_back(L'x');
        rc = RegSetValueExW(key, Wide(name).c_str(), 0, type, (const BYTE *)units.data(),
                            (DWORD)(count * sizeof(wchar_t)));
    } else {
        rc = RegSetValueExW(key, Wide(name).c_str(), 0, type, (const BYTE *)data, size);
    }
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

bool WriteNative(HKEY root, const std::string &path, const std::wstring &name, DWORD type, const void *data,
                 DWORD size)
{
    typedef LONG(WINAPI * SetValue)(HANDLE, CountedName *, ULONG, ULONG, const void *, ULONG);
    static SetValue set = (SetValue)(void *)Native("NtSetValueKey");
    HKEY key;
    if (!set || RegCreateKeyExW(root, Wide(path).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
                    ERROR_SUCCESS)
        return false;
    CountedName counted = Counted(name);
    LONG status = set(key, &counted, 0, type, data, size);
    RegCloseKey(key);
    return status == 0;
}

bool NativeValueExists(HKEY root, const std::string &path, const std::wstring &name)
{
    typedef LONG(WINAPI * QueryValue)(HANDLE, CountedName *, int, void *, ULONG, ULONG *);
    static QueryValue query = (QueryValue)(void *)Native("NtQueryValueKey");
    HKEY key;
    if (!query || RegOpenKeyExW(root, Wide(path).c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
    CountedName counted = Counted(name);
    BYTE info[64];
    ULONG got = 0;
    LONG status = query(key, &counted, 2, info, sizeof info, &got);
    RegCloseKey(key);
    // Found, whether or not its data fitted.
    return status == 0 || status == (LONG)0x80000005 || status == (LONG)0xC0000023;
}

std::string ReadRawValue(HKEY root, const std::string &path, const std::wstring &name, DWORD *type)
{
    HKEY key;
    if (RegOpenKeyExW(root, Wide(path).c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return std::string();
    DWORD size = 0, kind = 0;
    std::string data;
    if (RegQueryValueExW(key, name.c_str(), nullptr, &kind, nullptr, &size) == ERROR_SUCCESS) {
        data.resize(size);
        if (RegQueryValueExW(key, name.c_str(), nullptr, &kind, (BYTE *)&data[0], &size) != ERROR_SUCCESS)
            data.clear();
        data.resize(size);
    }
    RegCloseKey(key);
    if (type) *type = kind;
    return data;
}

bool ReadString(HKEY root, const std::string &path, const std::string &name, std::string *text)
{
    HKEY key;
    if (RegOpenKeyExW(root, Wide(path).c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
    DWORD type = 0, size = 0;
    std::wstring wide = Wide(name);
    LONG rc = RegQueryValueExW(key, wide.c_str(), nullptr, &type, nullptr, &size);
    std::wstring data(size / 2 + 1, L'\0');
    if (rc == ERROR_SUCCESS) rc = RegQueryValueExW(key, wide.c_str(), nullptr, &type, (BYTE *)&data[0], &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) return false;
    data.resize(size / 2);
    while (!data.empty() && data.back() == L'\0') data.pop_back();
    if (text) *text = Utf8(data);
    return true;
}

bool ValueExists(HKEY root, const std::string &path, const std::string &name)
{
    HKEY key;
    if (RegOpenKeyExW(root, Wide(path).c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
    LONG rc = RegQueryValueExW(key, Wide(name).c_str(), nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

bool KeyExists(HKEY root, const std::string &path)
{
    HKEY key;
    if (RegOpenKeyExW(root, Wide(path).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

void DeleteTree(HKEY root, const std::string &path)
{
    HKEY key;
    if (RegOpenKeyExW(root, Wide(path).c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    wchar_t sub[256];
    for (;;) {
        DWORD len = 256;
        if (RegEnumKeyExW(key, 0, sub, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        std::string child = path + "\\" + Utf8(std::wstring(sub, len));
        DeleteTree(root, child);
        if (KeyExists(root, child)) break;
    }
    RegCloseKey(key);
    RegDeleteKeyW(root, Wide(path).c_str());
}

std::vector<std::wstring> WideValueNames(HKEY root, const std::string &path)
{
    std::vector<std::wstring> names;
    HKEY key;
    if (RegOpenKeyExW(root, Wide(path).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
    static wchar_t name[16384];
    for (DWORD i = 0;; i++) {
        DWORD len = 16384;
        if (RegEnumValueW(key, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name, len);
    }
    RegCloseKey(key);
    return names;
}

std::vector<std::string> ValueNames(HKEY root, const std::string &path)
{
    std::vector<std::string> names;
    for (const std::wstring &name : WideValueNames(root, path)) names.push_back(Utf8(name));
    return names;
}

// Names and data as the registry holds them: the name's units (a NUL as
// "\0"), the data's raw bytes.
static void Dump(HKEY root, const std::string &path, std::string *out)
{
    HKEY key;
    if (RegOpenKeyExW(root, Wide(path).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    *out += "[" + path + "]\n";
    static wchar_t name[16384];
    static BYTE data[65536];
    for (DWORD i = 0;; i++) {
        DWORD len = 16384, size = sizeof data, type = 0;
        if (RegEnumValueW(key, i, name, &len, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
        std::string shown;
        for (DWORD k = 0; k < len; k++)
            shown += name[k] ? Utf8(std::wstring(1, name[k])) : std::string("\\0");
        char head[64];
        snprintf(head, sizeof head, "=%lu:", (unsigned long)type);
        *out += shown + head + std::string((const char *)data, size) + "\n";
    }
    std::vector<std::string> subs;
    wchar_t sub[256];
    for (DWORD i = 0;; i++) {
        DWORD len = 256;
        if (RegEnumKeyExW(key, i, sub, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        subs.push_back(Utf8(std::wstring(sub, len)));
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

void RemoveFolder(const std::string &folder)
{
    RemoveFolderContents(folder);
    RemoveDirectoryA(folder.c_str());
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

bool StartMonitorUp(const std::string &folder, Program *monitor, HWND *window, DWORD milliseconds)
{
    *monitor = Start(folder, "Sentrel.exe", "");
    *window = monitor->process ? WaitForWindow("Sentrel", nullptr, milliseconds) : nullptr;
    return *window && WaitUntil([] { return ValueExists(HKEY_CURRENT_USER, "Software\\Orvendale\\Sentrel", "Version"); },
                                milliseconds);
}

bool StopMonitor(Program &monitor, HWND window, DWORD milliseconds)
{
    PostMessageA(window, WM_COMMAND, 6030, 0);
    bool ended = WaitForExit(monitor, milliseconds);
    Stop(monitor);
    return ended;
}

bool EndProcessOfWindow(const char *caption, DWORD milliseconds)
{
    HWND window = WaitForWindow(nullptr, caption, milliseconds);
    if (!window) return false;
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    HANDLE process = id ? OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id) : nullptr;
    if (!process) return false;
    bool ended = TerminateProcess(process, 0) && WaitForSingleObject(process, milliseconds) == WAIT_OBJECT_0;
    CloseHandle(process);
    return ended;
}

namespace {
std::string TaskStore()
{
    char system[MAX_PATH] = "";
    GetSystemDirectoryA(system, sizeof system);
    return std::string(system) + "\\Tasks";
}
}  // namespace

std::string TaskXml(const std::string &command, const std::string &arguments, const std::string &triggers,
                    bool enabled, bool hidden)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n"
           "<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">\r\n"
           "  <RegistrationInfo>\r\n    <Author>Orbit Software</Author>\r\n  </RegistrationInfo>\r\n"
           "  <Triggers>\r\n" +
           (triggers.empty() ? std::string("    <LogonTrigger>\r\n      <Enabled>true</Enabled>\r\n    </LogonTrigger>\r\n")
                             : triggers) +
           "  </Triggers>\r\n"
           "  <Settings>\r\n    <Enabled>" + (enabled ? "true" : "false") + "</Enabled>\r\n    <Hidden>" +
           (hidden ? "true" : "false") + "</Hidden>\r\n  </Settings>\r\n"
           "  <Actions Context=\"Author\">\r\n    <Exec>\r\n      <Command>" + command + "</Command>\r\n" +
           (arguments.empty() ? std::string() : "      <Arguments>" + arguments + "</Arguments>\r\n") +
           "    </Exec>\r\n  </Actions>\r\n</Task>\r\n";
}

std::string PlantTask(const std::string &taskPath, const std::string &xml, bool utf16)
{
    std::string file = TaskStore() + taskPath;
    std::wstring wideFile = Wide(file);
    // Its folders first.
    for (size_t at = TaskStore().size() + 1; (at = file.find('\\', at)) != std::string::npos; at++)
        CreateDirectoryW(Wide(file.substr(0, at)).c_str(), nullptr);
    std::string bytes;
    if (utf16) {
        std::wstring wide = Wide(xml);
        bytes = "\xFF\xFE" + std::string((const char *)wide.data(), wide.size() * sizeof(wchar_t));
    } else {
        bytes = xml;
    }
    HANDLE handle = CreateFileW(wideFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return "";
    DWORD written = 0;
    bool done = ::WriteFile(handle, bytes.data(), (DWORD)bytes.size(), &written, nullptr) && written == bytes.size();
    CloseHandle(handle);
    return done ? file : "";
}

void RemovePlantedTask(const std::string &taskPath)
{
    std::string file = TaskStore() + taskPath;
    DeleteFileW(Wide(file).c_str());
    for (size_t cut; (cut = file.rfind('\\')) != std::string::npos && cut > TaskStore().size();) {
        file = file.substr(0, cut);
        if (!RemoveDirectoryW(Wide(file).c_str())) break;
    }
}

}  // namespace test
