// SentrelEx.exe: stand-ins for the reports until they are built. Each says
// so instead of doing nothing; the real functions replace these (this file
// can then go).
#include "reports.h"

#include "list_page.h"

namespace {
int NotAvailable(HWND owner)
{
    PageMessage(owner, 3705, MB_OK | MB_ICONINFORMATION | MB_TOPMOST);
    return 0;
}
}  // namespace

int WriteSystemReport(HWND owner)
{
    return NotAvailable(owner);
}

int WriteHijackLog(HWND owner)
{
    return NotAvailable(owner);
}

int ExportSettings(HWND owner)
{
    return NotAvailable(owner);
}

int WriteSpreadsheetReport(HWND owner)
{
    return NotAvailable(owner);
}
