#include "test_files.h"

#include <cstdio>

#include "test_keys.h"
#include "test_registry.h"
#include "test_windows.h"

namespace test {

std::string BuildFolder()
{
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder(path, n);
    return folder.substr(0, folder.find_last_of('\\'));
}

std::string WindowsFolder()
{
    char folder[MAX_PATH] = "";
    GetWindowsDirectoryA(folder, sizeof folder);
    return folder;
}

std::string SystemFolder()
{
    char folder[MAX_PATH] = "";
    GetSystemDirectoryA(folder, sizeof folder);
    return folder;
}

std::string TempFolder()
{
    char folder[MAX_PATH] = "", longer[MAX_PATH] = "";
    GetTempPathA(sizeof folder, folder);
    GetLongPathNameA(folder, longer, sizeof longer);
    std::string text = longer;
    if (!text.empty() && text.back() == '\\') text.pop_back();
    return text;
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

std::string FileText(const std::string &path, const std::string &missing)
{
    std::string text;
    return ReadFile(path, &text) ? text : missing;
}

bool FileExistsAt(const std::string &path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool PlantCookieFolders(const std::string &folder, std::string *ie, std::string *profile)
{
    *ie = folder + "\\Cookies";
    *profile = folder + "\\profile";
    CreateDirectoryA(ie->c_str(), nullptr);
    CreateDirectoryA(profile->c_str(), nullptr);
    return WriteFile(*ie + "\\index.dat", "index") &&
           WriteString(HKEY_CURRENT_USER, keys::kStore, "IECookieFolder", *ie) &&
           WriteString(HKEY_CURRENT_USER, keys::kStore, "CookieFolder", *profile);
}

std::vector<std::string> RecordedLines(const std::string &folder, size_t count, DWORD milliseconds)
{
    std::vector<std::string> lines;
    WaitUntil(
        [&] {
            std::string text;
            lines.clear();
            if (!ReadFile(folder + "\\recorded.txt", &text)) return false;
            size_t start = 0, end;
            while ((end = text.find('\n', start)) != std::string::npos) {
                lines.push_back(text.substr(start, end - start));
                start = end + 1;
            }
            return lines.size() >= count;
        },
        milliseconds);
    return lines;
}

std::string HistoryText()
{
    return FileText(BuildFolder() + "\\history.txt", "");
}

std::vector<std::string> HistoryLines()
{
    std::vector<std::string> lines;
    for (std::string line : Split(HistoryText(), "\n")) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

int CountHistory(std::initializer_list<std::string> texts)
{
    int n = 0;
    for (const std::string &line : HistoryLines()) {
        bool all = true;
        for (const std::string &t : texts) all = all && line.find(t) != std::string::npos;
        n += all;
    }
    return n;
}

void ClearHistory()
{
    DeleteFileA((BuildFolder() + "\\history.txt").c_str());
}

std::vector<std::string> TabFields(const std::string &line)
{
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos) break;
        start = tab + 1;
    }
    return fields;
}

}  // namespace test
