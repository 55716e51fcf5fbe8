#include "trace.h"

#include <windows.h>

#include "data_folders.h"
#include "text.h"

namespace {
const unsigned kTraceOff = 9999;
const unsigned kTraceLimit = 9000;

char traceFile[PATH_SIZE];
unsigned lineCounter = kTraceOff;
DWORD lastStepTick;
char lastStepText[256];
int waitedForUser;
}  // namespace

void SetTraceFile(const char *path)
{
    CopyText(traceFile, sizeof traceFile, path);
}

int SetProgramTraceFile(ProgramKind kind)
{
    char folder[PATH_SIZE];
    traceFile[0] = 0;
    if (!GetDataFolder(folder)) return 0;
    return FormatText(traceFile, sizeof traceFile, "%s\\%s", folder,
                      kind == PROGRAM_EXPLORER ? "sendex2ov.txt" : "send2ov.txt") != 0;
}

void EnableTrace(int on)
{
    lineCounter = on ? 0 : kTraceOff;
}

int TraceEnabled(void)
{
    return lineCounter <= kTraceLimit;
}

// A CR or LF in a value would end it early and could start a section of
// its own in the file.
static void BlankControls(char *text)
{
    for (; *text; text++)
        if ((unsigned char)*text < 0x20 && *text != '\t') *text = ' ';
}

static int WriteTraceLine(const char *value)
{
    char key[32];
    FormatText(key, sizeof key, "%lu.%u", (unsigned long)GetTickCount(), lineCounter);
    if (!traceFile[0]) return 0;
    return WritePrivateProfileStringA("Trace", key, value, traceFile) != 0;
}

int TraceLog(const char *context, const char *text)
{
    if (lineCounter > kTraceLimit) return 0;
    lastStepTick = GetTickCount();
    CopyTextCut(lastStepText, sizeof lastStepText, text);
    BlankControls(lastStepText);
    lineCounter++;

    SYSTEMTIME now;
    GetLocalTime(&now);
    char value[512];
    FormatTextCut(value, sizeof value, "%02d-%02d  %02d:%02d:%02d %s: %s", now.wMonth, now.wDay,
                  now.wHour, now.wMinute, now.wSecond, context ? context : "", lastStepText);
    BlankControls(value);
    return WriteTraceLine(value);
}

int TraceTiming(void)
{
    if (lineCounter > kTraceLimit) return 0;
    unsigned elapsed = (unsigned)(GetTickCount() - lastStepTick) / 2;
    if (waitedForUser) {
        elapsed = 1;
        waitedForUser = 0;
    }
    lineCounter++;

    char marks[20] = "";
    unsigned stars = elapsed / 1000;
    if (stars >= 1) {
        if (stars > 16) stars = 16;
        marks[0] = '\t';
        for (unsigned i = 0; i < stars; i++) marks[1 + i] = '*';
        marks[1 + stars] = 0;
    }
    char value[512];
    FormatTextCut(value, sizeof value, "**:**:** NanoCycles: %s = %u %s", lastStepText, elapsed, marks);
    return WriteTraceLine(value);
}

void TraceWaitedForUser(void)
{
    waitedForUser = 1;
}
