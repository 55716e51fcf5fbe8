// Files and folders of the test prefix.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace test {

// The folder of the running test program (the build's bin folder).
std::string BuildFolder();
// A fresh, empty folder C:\sentrel-tests\<name>.
std::string FreshFolder(const std::string &name);
// Deletes a folder and everything in it (no error when missing).
void RemoveFolder(const std::string &folder);
bool WriteFile(const std::string &path, const std::string &content);
bool ReadFile(const std::string &path, std::string *content);
bool FileExistsAt(const std::string &path);
// The whole lines (ended by LF) a recorder program (url_recorder.exe) wrote
// into folder\recorded.txt, once there are count of them or the time is up.
std::vector<std::string> RecordedLines(const std::string &folder, size_t count, DWORD milliseconds);

}  // namespace test
