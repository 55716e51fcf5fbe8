// The file types check over 200 watched extensions, all approved and
// unchanged (the common case of every patrol), against a floor measured in
// the same run: the bare registry reads such a check cannot do without
// (each method's class and command, the saved class and command), made
// directly with fixed buffers. Goal: at most 1.3 times the floor.
#include <windows.h>

#include <cstdio>
#include <string>

#include "bench_support.h"
#include "checks.h"
#include "file_types.h"
#include "monitor.h"
#include "options.h"

namespace {
const int kTypes = 200;
const int kRounds = 20;
const char kClasses[] = "Software\\Classes\\";
const char kFileExts[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\";

std::string Extension(int i)
{
    char name[16];
    snprintf(name, sizeof name, ".ftb%03d", i);
    return name;
}

// Every extension has a class; every fourth also a program the user chose
// and a ProgID.
void Plant(void)
{
    std::string list;
    for (int i = 0; i < kTypes; i++) {
        std::string extension = Extension(i), cls = extension.substr(1) + ".file";
        bench::SetRegString(HKEY_LOCAL_MACHINE, kClasses + extension, "", cls);
        bench::SetRegString(HKEY_LOCAL_MACHINE, kClasses + cls + "\\shell\\open\\command", "",
                  "\"C:\\Program Files\\Bench\\app" + std::to_string(i) + ".exe\" \"%1\"");
        if (i % 4 == 0) {
            bench::SetRegString(HKEY_CURRENT_USER, kFileExts + extension, "Application", "benchview.exe");
            bench::SetRegString(HKEY_CURRENT_USER, kFileExts + extension, "ProgID", cls);
        }
        list += extension.substr(1) + ";";
    }
    bench::SetRegString(HKEY_CLASSES_ROOT, "Applications\\benchview.exe\\shell\\open\\command", "",
              "C:\\Bench\\benchview.exe \"%1\"");
    bench::SetRegString(HKEY_CURRENT_USER, FILE_TYPE_CLASS_KEY, "", list);
    for (int i = 0; i < kTypes; i++)
        for (int m = 0, method; (method = ListedMethod(m)) != 0; m++)
            SaveAssociation(Extension(i).c_str(), method);
}

// Takes away what Plant made, so the benchmarks run after this one see the
// prefix as it was.
void Unplant(void)
{
    for (int i = 0; i < kTypes; i++) {
        std::string extension = Extension(i);
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, (kClasses + extension).c_str());
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, (kClasses + extension.substr(1) + ".file").c_str());
        RegDeleteTreeA(HKEY_CURRENT_USER, (kFileExts + extension).c_str());
    }
    RegDeleteTreeA(HKEY_CLASSES_ROOT, "Applications\\benchview.exe");
    for (const char *key : {"Ext", "ExtApp", "ExtProgID", "Class"})
        RegDeleteTreeA(HKEY_CURRENT_USER, (std::string("Software\\Orvendale\\Sentrel\\") + key).c_str());
}

int ReadValue(HKEY root, const std::string &path, const char *name, char *out, DWORD size)
{
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_QUERY_VALUE, &key)) return 0;
    DWORD count = size - 1, type = 0;
    LONG rc = RegQueryValueExA(key, name, nullptr, &type, (BYTE *)out, &count);
    RegCloseKey(key);
    if (rc || (type != REG_SZ && type != REG_EXPAND_SZ)) return 0;
    out[count] = 0;
    return 1;
}

// The reads of one check, without anything around them.
int BareReads(void)
{
    static const struct {
        HKEY classRoot;
        const char *classPrefix, *classValue;
        HKEY commandRoot;
        const char *commandPrefix, *savedKey;
    } kMethods[] = {
        {HKEY_LOCAL_MACHINE, kClasses, "", HKEY_LOCAL_MACHINE, kClasses, "Software\\Orvendale\\Sentrel\\Ext"},
        {HKEY_CURRENT_USER, kFileExts, "Application", HKEY_CLASSES_ROOT, "Applications\\",
         "Software\\Orvendale\\Sentrel\\ExtApp"},
        {HKEY_CURRENT_USER, kFileExts, "ProgID", HKEY_CLASSES_ROOT, "", "Software\\Orvendale\\Sentrel\\ExtProgID"},
    };
    int found = 0;
    char list[4096], cls[1024], command[1024], saved[1024], savedCommand[1024];
    ReadValue(HKEY_CURRENT_USER, FILE_TYPE_CLASS_KEY, "", list, sizeof list);
    for (int i = 0; i < kTypes; i++) {
        std::string extension = Extension(i);
        for (const auto &m : kMethods) {
            if (!ReadValue(m.classRoot, m.classPrefix + extension, m.classValue, cls, sizeof cls)) continue;
            if (!ReadValue(m.commandRoot, std::string(m.commandPrefix) + cls + "\\shell\\open\\command", "", command,
                           sizeof command))
                continue;
            found++;
            if (ReadValue(HKEY_CURRENT_USER, m.savedKey, extension.c_str(), saved, sizeof saved))
                ReadValue(HKEY_CURRENT_USER, FILE_TYPE_CLASS_KEY, saved, savedCommand, sizeof savedCommand);
        }
    }
    return found;
}

}  // namespace

int main()
{
    mainWindow = CreateWindowA("STATIC", "bench", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    Plant();
    LoadOptions();
    settings.fileType = 1;
    settings.hideWuffin = 1;

    // Warm both up once, then alternate so that neither has the cache to itself.
    int associations = 0;
    bench::MeanTimes t = bench::AlternateMeans(kRounds, [&] { associations = BareReads(); }, CheckFileTypes);
    printf("file types check over %d watched types (%d associations): %.2f ms per pass\n", kTypes, associations,
           t.measuredMs);
    printf("bare registry reads of the same:                           %.2f ms\n", t.floorMs);
    bench::PrintGoal(t.measuredMs / t.floorMs, 1.3);
    Unplant();
    DestroyWindow(mainWindow);
    return 0;
}
