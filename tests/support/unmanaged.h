// Without a window manager, Wine waits two seconds for one each time a managed window is hidden;
// under Xvfb there is none, so every program the tests run keeps its windows unmanaged: each
// test program itself (unmanaged.cpp does that for any program it is linked into) and the
// program a driver starts.
#ifndef MORVANE_UNMANAGED_H
#define MORVANE_UNMANAGED_H

// Leaves the windows of the program with that file name (morvane.exe) unmanaged from its next
// start: Wine reads the setting when a program's display driver starts.
void LeaveUnmanaged(const char *program);

#endif
