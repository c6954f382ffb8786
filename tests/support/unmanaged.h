// Under Xvfb there is no window manager, for which Wine waits two seconds each time a managed
// window is hidden: so the program with that file name keeps its windows unmanaged from its next
// start. Every test program does so for itself (unmanaged.cpp); a driver, for morvane.exe.
#ifndef MORVANE_UNMANAGED_H
#define MORVANE_UNMANAGED_H
void LeaveUnmanaged(const char *program);
#endif
