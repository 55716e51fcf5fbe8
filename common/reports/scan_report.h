// The scan for scripts and the tools that gather it from many machines:
// every inventory (startup entries of every location and view, services,
// tasks, IE helpers, file types, hidden files, running programs) written
// as CSV or as JSON lines. Nothing in the store changes.
#pragma once

#include "report_writer.h"

// Writes the scan into an open file: CSV (json 0) or JSON lines (json 1).
// Returns how many entries Windows would start that are not approved
// (disabled ones and running programs do not count); the file's own
// failure is in file->failed.
int WriteScanReport(ReportFile *file, int json);
