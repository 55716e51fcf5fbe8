// The trace log: a developer's record of the patrol, written only when the
// option "Debug" is set.
#pragma once

#include "failure_notes.h"
#include "options.h"

// Sets the trace file; an empty path turns writing off.
void SetTraceFile(const char *path);

// Sets the trace file of the program in the program folder: "send2ov.txt"
// for the monitor, "sendex2ov.txt" for the explorer. 1, or 0 when the folder
// is unknown (nothing is then written).
int SetProgramTraceFile(ProgramKind kind);

// Tracing is off until EnableTrace(1); a traced run writes at most 9001 lines.
void EnableTrace(int on);
int TraceEnabled(void);

// Writes a step line to section "Trace": key "tick.line", value
// "mm-dd  hh:mm:ss context: text". Control characters in the texts become
// blanks, so a value never spills into a line of its own. 1 when written.
int TraceLog(const char *context, const char *text);

// Writes the timing line of the last step: "**:**:** NanoCycles: text =
// elapsed marks", elapsed being half the milliseconds since the step (1 when
// it waited for the user) and marks a TAB and one "*" per 1000 of it, at
// most 16. 1 when written.
int TraceTiming(void);

// Marks the last step as one that waited for the user.
void TraceWaitedForUser(void);
