#include "test_files.h"

#include <cstdio>

#include "test_windows.h"

namespace test {

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

}  // namespace test
