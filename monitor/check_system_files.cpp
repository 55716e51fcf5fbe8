// Sentrel.exe: the monitored system files check. Every file listed under
// HKLM Software\Orvendale\Sentrel\Sysfiles with a "Location" is compared
// with its record; a change raises the file change alert, whose answer
// keeps the new content (the copy is renewed) or puts the copy back.
#include <windows.h>

#include <cstdlib>

#include "alerts.h"
#include "checks.h"
#include "monitor.h"
#include "sysfiles.h"
#include "text.h"
#include "trace.h"

namespace {
int AskAboutChange(const MonitoredRecord &record)
{
    SetPatrolStatus(161, 828);
    inDialog = 1;
    alertShown = 1;
    ClearAlertRecord();
    CopyText(AlertFilePath, sizeof AlertFilePath, record.location);
    CopyText(AlertTitle, sizeof AlertTitle, record.name);
    INT_PTR result = ShowAlert(DLG_ALERT_FILE_CHANGE);
    inDialog = 0;
    TraceWaitedForUser();
    return result > 0 ? 1 : 0;
}

int CheckRecord(const MonitoredRecord &record, const FileDates *dates)
{
    if (!record.location[0] || !CompareMonitoredFile(&record, dates)) return 0;
    return AskAboutChange(record);
}
}  // namespace

int CheckMonitoredFile(const char *name, const char *path)
{
    MonitoredRecord record;
    if (!ReadMonitoredRecord(name, &record)) return 0;
    // The file asked about is the one given, whatever the record says now.
    if (!CopyText(record.location, sizeof record.location, path)) return 0;
    return CheckRecord(record, nullptr);
}

void CheckSystemFiles(void)
{
    int count = 0;
    char (*names)[SYSFILE_NAME_SIZE] = ListMonitoredFiles(&count);
    // One date format and time zone for the whole pass.
    FileDates dates;
    ReadFileDates(&dates);
    for (int i = 0; i < count; i++) {
        MonitoredRecord record;
        if (ReadMonitoredRecord(names[i], &record)) CheckRecord(record, &dates);
    }
    free(names);
}
