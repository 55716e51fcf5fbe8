#include "planted_tasks.h"

#include "test_files.h"
#include "test_registry.h"

namespace test {

namespace {
std::string TaskStore()
{
    return SystemFolder() + "\\Tasks";
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
