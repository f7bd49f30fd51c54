#pragma once
// Says how each window that another folder opens comes up (see common/Navigation.h). The program
// calls it once before its first window; the test fixtures call it too. Calling it again changes
// nothing.
void ConnectWindows();

// The end of the program when the process is asked to end (a shutdown signal): the window on
// screen ends it as its own exit does. The station ends as by its exit (notifications given up,
// camera released), the minimized station as by "終了", the login as by its Cancel; the
// administration's windows close without saving and no login comes back.
void EndOnShutdownSignal();
