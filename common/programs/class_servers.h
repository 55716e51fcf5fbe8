// COM classes: the name and the server file a class id stands for, in
// either registry view. Browser helpers, shell extensions, Winlogon and task
// handlers all name their program this way.
#pragma once

#define CLASS_NAME_SIZE 768   // a class's name, 255 characters of any script

// The name and server file of a COM class. Always 1.
int ClassServerPath(const char *clsid, char *name /* CLASS_NAME_SIZE */, char *server /* PATH_SIZE */);
// The same for a class registered in a registry view (VIEW_32: by a 32-bit program).
int ClassServerPathIn(int view, const char *clsid, char *name /* CLASS_NAME_SIZE */,
                      char *server /* PATH_SIZE */);
