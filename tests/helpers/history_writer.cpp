// A second writer of history.txt for the history tests: appends <count>
// lines titled "<tag> <n>" to history.txt beside itself. With a third
// argument it first waits for the named event, so that two writers start
// together. The exit code is the number of lines that could not be written.
#include <windows.h>

#include <cstdlib>

#include "history.h"
#include "text.h"

int main(int argc, char **argv)
{
    if (argc < 3) return 255;
    if (argc > 3) {
        HANDLE go = OpenEventA(SYNCHRONIZE, FALSE, argv[3]);
        if (!go || WaitForSingleObject(go, 30000) != WAIT_OBJECT_0) return 254;
        CloseHandle(go);
    }
    int count = atoi(argv[1]);
    int failed = 0;
    for (int i = 0; i < count; i++) {
        char title[128], command[260];
        FormatText(title, sizeof title, "%s %d", argv[2], i);
        FormatText(command, sizeof command, "C:\\Programs\\%s\\app%d.exe /run", argv[2], i);
        if (!WriteHistory(title, command, "detail", 11, 6)) failed++;
    }
    return failed;
}
