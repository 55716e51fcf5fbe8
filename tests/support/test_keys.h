// The registry keys the tests plant in and read back, by one name each.
#pragma once

namespace test::keys {

// Where Windows starts programs (in HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER alike).
const char kRun[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char kDelayLoad[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ShellServiceObjectDelayLoad";
const char kWinlogon[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
// File types: the classes (with a trailing backslash, for a name to follow)
// and the user's choices of the explorer.
const char kClasses[] = "Software\\Classes\\";
const char kFileExts[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\";
// Internet Explorer and its helpers.
const char kMain[] = "Software\\Microsoft\\Internet Explorer\\Main";
const char kBho[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";
const char kToolbar[] = "SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar";
const char kExtensions[] = "SOFTWARE\\Microsoft\\Internet Explorer\\Extensions";
const char kDesktop[] = "Software\\Microsoft\\Internet Explorer\\Desktop\\Components\\0";
const char kAutoUpdate[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WindowsUpdate\\Auto Update";
const char kPrefixes[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\URL\\Prefixes";
const char kDefaultPrefix[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\URL\\DefaultPrefix";
// The user's date format.
const char kInternational[] = "Control Panel\\International";

// Sentrel's own store (in HKEY_CURRENT_USER unless said otherwise).
const char kStore[] = "Software\\Orvendale\\Sentrel";
const char kOptions[] = "Software\\Orvendale\\Sentrel\\Options";
const char kRunBaseline[] = "Software\\Orvendale\\Sentrel\\Run";
const char kDisabled[] = "Software\\Orvendale\\Sentrel\\Disabled";   // in HKEY_LOCAL_MACHINE
const char kDelay[] = "Software\\Orvendale\\Sentrel\\Delay";
const char kClass[] = "Software\\Orvendale\\Sentrel\\Class";
const char kExt[] = "Software\\Orvendale\\Sentrel\\Ext";
const char kNuts[] = "Software\\Orvendale\\Sentrel\\Nuts";
const char kKept[] = "Software\\Orvendale\\Sentrel\\Cookies";
const char kTasksBaseline[] = "Software\\Orvendale\\Sentrel\\Tasks";
const char kHelperBaseline[] = "Software\\Orvendale\\Sentrel\\IEHelpers";

}  // namespace test::keys
