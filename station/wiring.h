#pragma once
// Says how each window that another folder opens comes up (see common/Navigation.h). The program
// calls it once before its first window; the test fixtures call it too. Calling it again changes
// nothing.
void ConnectWindows();
