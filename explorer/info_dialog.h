// The program actions of a list page's selected row: the program
// information dialog, the online program information and the note. Every
// list page calls these for its "Info..." button (1008, also 1 / Enter),
// "Zenta Info..." (1067, double click) and "View Note..." (1164).
#pragma once
#include <windows.h>

#include "list_page.h"

// The program information dialog (template 121) for the selected row:
// the program's facts, first-seen date and note; Previous and Next walk the
// page's rows in the order the list shows them. Afterwards the row that was
// selected is selected again. Returns 1 when the dialog was shown; without
// a selected row, message 57 and 0. A page whose rows may have changed (a
// service's start type) refills after it.
int ShowInfo(ListPage *page);

// The online program information of the selected row: its knowledge-base
// page, else the lookup on the maker's web server. Message 57 and 0
// without a selection.
int ShowOnlineInfo(ListPage *page);

// Opens the note of the selected row's program, when it has one.
int ViewNote(ListPage *page);

// 1 when the row's program has a note ("View Note..." in the row menu).
int RowHasNote(const PageRow *row);
// The page's Info button is bold while a note exists for the row's file.
void MarkInfoButton(HWND page, const PageRow *row);
