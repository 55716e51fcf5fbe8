// Files and folders of the test prefix.
#pragma once
#include <windows.h>

#include <string>

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

}  // namespace test
