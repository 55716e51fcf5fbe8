// Arrays that grow as they are filled: the room doubles (from first) when
// the count reaches it, so a list of any length costs few reallocations.
#pragma once
#include <cstdlib>

// Makes room for one more element. 1, or 0 (the array as it was) when no
// memory is left.
template <typename T>
int MakeRoomForOne(T *&items, int count, int &room, int first)
{
    if (count < room) return 1;
    int grow = room ? room * 2 : first;
    T *bigger = (T *)realloc(items, (size_t)grow * sizeof(T));
    if (!bigger) return 0;
    items = bigger;
    room = grow;
    return 1;
}
