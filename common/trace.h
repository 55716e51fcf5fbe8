// The trace log: a developer's record of the patrol, written only when the
// option "Debug" is set, and the note hook for failure texts.
#pragma once

// Accepts a context and a text and discards them. Always 1.
int TraceNote(const char *context, const char *text);

// Sets the trace file (program folder + "\send2ov.txt" or "\sendex2ov.txt").
void SetTraceFile(const char *path);

// Tracing is off until EnableTrace(1); a traced run writes at most 9001 lines.
void EnableTrace(int on);
int TraceEnabled(void);

// Writes a step line. 1 when written.
int TraceLog(const char *context, const char *text);

// Writes the timing line of the last step. 1 when written.
int TraceTiming(void);

// Marks the last step as one that waited for the user.
void TraceWaitedForUser(void);
