// Planting IE helpers in the test prefix: browser helper object keys,
// toolbar values, toolbar-button extensions and the classes behind them,
// all removed again when the planter goes. Class ids of the tests begin
// with "{A11CE" (or "A11CE" without braces).
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "test_support.h"
#include "text.h"

namespace ie_test {

using namespace test::keys;

const char kKnown[] = "Software\\Orvendale\\Sentrel\\IEHelpers\\Known";
// The class that the sample DLL registers for itself.
const char kSampleClass[] = "{5E0C7A31-9B42-4D6E-8F13-2A7C64D0B9E5}";
const char kSampleDll[] = "ie_helper_sample.dll";

// A class id of the tests: {A11CE000-0000-4000-8000-0000000000nn}.
inline std::string TestClass(int n)
{
    char text[64];
    wsprintfA(text, "{A11CE000-0000-4000-8000-%012d}", n);
    return text;
}

inline bool SampleRegistered()
{
    return test::KeyExists(HKEY_CLASSES_ROOT, std::string("CLSID\\") + kSampleClass);
}

// Runs the system's regsvr32 on a file (quoted) and waits for it.
inline bool RunRegsvr32(const std::string &file, bool unregister)
{
    std::string program = test::SystemFolder() + "\\regsvr32.exe";
    std::string command = "\"" + program + "\" /s " + (unregister ? "/u " : "") + "\"" + file + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(program.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return false;
    WaitForSingleObject(process.hProcess, 20000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

// Creates root\parent\child one level at a time: Wine's ANSI registry calls
// take key paths of fewer than 260 characters only, and a class id may be
// 255 characters long. Returns the open key, or null.
inline HKEY CreateKeySteps(HKEY root, const std::vector<std::string> &parts)
{
    HKEY current = root;
    for (const std::string &part : parts) {
        HKEY next = nullptr;
        LONG rc = RegCreateKeyExA(current, part.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &next, nullptr);
        if (current != root) RegCloseKey(current);
        if (rc != ERROR_SUCCESS) return nullptr;
        current = next;
    }
    return current;
}

// Deletes root\parent\child with everything below it.
inline void DeleteKeySteps(HKEY root, const std::string &parent, const std::string &child)
{
    HKEY key;
    if (RegOpenKeyExA(root, parent.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    RegDeleteTreeA(key, child.c_str());
    RegDeleteKeyA(key, child.c_str());
    RegCloseKey(key);
}

class Planter {
public:
    ~Planter() { Clear(); }

    // HKEY_CLASSES_ROOT CLSID\<id>\InprocServer32 with server as its default value.
    void Class(const std::string &id, const std::string &server, DWORD type = REG_SZ)
    {
        HKEY key = CreateKeySteps(HKEY_CLASSES_ROOT, {"CLSID", id, "InprocServer32"});
        if (key) {
            DWORD number = 7;
            if (type == REG_DWORD)
                RegSetValueExA(key, "", 0, REG_DWORD, (const BYTE *)&number, sizeof number);
            else
                RegSetValueExA(key, "", 0, type, (const BYTE *)server.c_str(), (DWORD)server.size() + 1);
            RegCloseKey(key);
        }
        classes_.push_back(id);
    }
    // A class whose InprocServer32 key has no default value.
    void ClassWithoutServer(const std::string &id)
    {
        test::WriteString(HKEY_CLASSES_ROOT, "CLSID\\" + id + "\\InprocServer32", "ThreadingModel", "Both");
        classes_.push_back(id);
    }
    void Bho(const std::string &id)
    {
        if (HKEY key = CreateKeySteps(HKEY_LOCAL_MACHINE, {kBho, id})) RegCloseKey(key);
        bhos_.push_back(id);
    }
    void Toolbar(const std::string &id)
    {
        BYTE none = 0;
        test::WriteValue(HKEY_LOCAL_MACHINE, kToolbar, id, REG_BINARY, &none, 0);
        toolbars_.push_back(id);
    }
    // An extension; a value given as "" is left out.
    void Extension(const std::string &id, const std::string &buttonText, const std::string &exec,
                   const std::string &script = "", const std::string &hotIcon = "")
    {
        std::string key = std::string(kExtensions) + "\\" + id;
        test::WriteString(HKEY_LOCAL_MACHINE, key, "CLSID", "{1FBA04EE-3024-11D2-8F1F-0000F87ABD16}");
        if (!buttonText.empty()) test::WriteString(HKEY_LOCAL_MACHINE, key, "ButtonText", buttonText);
        if (!exec.empty()) test::WriteString(HKEY_LOCAL_MACHINE, key, "Exec", exec);
        if (!script.empty()) test::WriteString(HKEY_LOCAL_MACHINE, key, "script", script);
        if (!hotIcon.empty()) test::WriteString(HKEY_LOCAL_MACHINE, key, "HotIcon", hotIcon);
        extensions_.push_back(id);
    }
    void ExtensionValue(const std::string &id, const std::string &name, DWORD value)
    {
        test::WriteDword(HKEY_LOCAL_MACHINE, std::string(kExtensions) + "\\" + id, name, value);
    }
    void Clear()
    {
        for (const std::string &id : bhos_) DeleteKeySteps(HKEY_LOCAL_MACHINE, kBho, id);
        for (const std::string &id : extensions_) DeleteKeySteps(HKEY_LOCAL_MACHINE, kExtensions, id);
        for (const std::string &id : classes_) DeleteKeySteps(HKEY_CLASSES_ROOT, "CLSID", id);
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kToolbar, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
            for (const std::string &id : toolbars_) RegDeleteValueA(key, id.c_str());
            RegCloseKey(key);
        }
        bhos_.clear();
        extensions_.clear();
        classes_.clear();
        toolbars_.clear();
    }

private:
    std::vector<std::string> bhos_, toolbars_, extensions_, classes_;
};

inline bool BhoExists(const std::string &id)
{
    HKEY parent, key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kBho, 0, KEY_READ, &parent) != ERROR_SUCCESS) return false;
    bool found = RegOpenKeyExA(parent, id.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS;
    if (found) RegCloseKey(key);
    RegCloseKey(parent);
    return found;
}
inline bool ToolbarExists(const std::string &id)
{
    return test::ValueExists(HKEY_LOCAL_MACHINE, kToolbar, id);
}
inline bool ExtensionExists(const std::string &id)
{
    return test::KeyExists(HKEY_LOCAL_MACHINE, std::string(kExtensions) + "\\" + id);
}

}  // namespace ie_test
