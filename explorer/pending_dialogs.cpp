// SentrelEx.exe: the dialogs and the report that are not built yet (see
// pending_dialogs.h). Each one tells the user so and changes nothing.
#include "pending_dialogs.h"

#include "list_page.h"

namespace {
void NotAvailable(HWND owner)
{
    PageMessage(owner, 3240, MB_OK | MB_ICONINFORMATION | MB_TOPMOST);
}
}  // namespace

int SetPatrolTime(HWND owner, UINT)
{
    NotAvailable(owner);
    return -1;
}

void ShowProgramInfo(HWND owner, const Item *)
{
    NotAvailable(owner);
}

void ShowOnlineInfo(HWND owner, const Item *)
{
    NotAvailable(owner);
}

int HasProgramNote(const char *)
{
    return 0;
}

void ViewProgramNote(HWND owner, const Item *)
{
    NotAvailable(owner);
}

void WriteSystemReport(HWND owner)
{
    NotAvailable(owner);
}
