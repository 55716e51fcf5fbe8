#include "test_registry.h"

#include <cstdio>

#include "test_keys.h"

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

std::vector<std::string> Split(const std::string &text, const std::string &separator)
{
    std::vector<std::string> pieces;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(separator, start);
        if (end == std::string::npos) end = text.size();
        pieces.push_back(text.substr(start, end - start));
        start = end + separator.size();
    }
    return pieces;
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

Stored ReadStored(HKEY root, const std::string &path, const std::string &name)
{
    Stored stored;
    std::string raw = ReadRawValue(root, path, Wide(name), &stored.type);
    stored.present = ValueExists(root, path, name);
    if (stored.type == REG_SZ || stored.type == REG_EXPAND_SZ || stored.type == REG_MULTI_SZ)
        stored.data = Utf8(std::wstring((const wchar_t *)raw.data(), raw.size() / sizeof(wchar_t)));
    else
        stored.data = raw;
    return stored;
}

bool WriteStored(HKEY root, const std::string &path, const std::string &name, const Stored &stored)
{
    if (stored.present)
        return WriteValue(root, path, name, stored.type, stored.data.data(), (DWORD)stored.data.size());
    DeleteValue(root, path, name);
    return !ValueExists(root, path, name);
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

std::string Value(HKEY root, const std::string &path, const std::string &name)
{
    std::string text;
    return ReadString(root, path, name, &text) ? text : "<missing>";
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

void DeleteValue(HKEY root, const std::string &path, const std::string &name)
{
    HKEY key;
    if (RegOpenKeyExW(root, Wide(path).c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    RegDeleteValueW(key, Wide(name).c_str());
    RegCloseKey(key);
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

std::string WinIni(const char *key)
{
    static char list[16384];
    GetProfileStringA("windows", key, "", list, sizeof list);
    return list;
}

std::string ShellFolder(const char *name)
{
    std::string folder;
    ReadString(HKEY_CURRENT_USER, keys::kShellFolders, name, &folder);
    return folder;
}

void SetWineVersion(const std::string &program, const std::string &version)
{
    const std::string key = "Software\\Wine\\AppDefaults\\" + program;
    if (version.empty())
        DeleteTree(HKEY_CURRENT_USER, key);
    else
        WriteString(HKEY_CURRENT_USER, key, "Version", version);
}

void SetOptions(std::initializer_list<std::pair<const char *, const char *>> options)
{
    for (const auto &option : options) WriteString(HKEY_CURRENT_USER, keys::kOptions, option.first, option.second);
}

void ClearRunKeys()
{
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
        for (const std::string &name : ValueNames(root, keys::kRun))
            if (name != "winemenubuilder") DeleteValue(root, keys::kRun, name);
}

}  // namespace test
