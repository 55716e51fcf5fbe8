// The note hook for failure texts: every layer hands what went wrong (a key
// that could not be created, a text cut to fit) to one place, which keeps
// nothing today. It sits at the bottom so that the registry store and the
// lowest pieces can use it as freely as the logs do.
#pragma once

// Accepts a context and a text and discards them. Always 1.
int TraceNote(const char *context, const char *text);
