#pragma once
// The program's run between its application object and its exit status: the one shape of the
// Velmor executable, which the test programs that drive its windows run too.
#include <QString>

// Runs the station from its program folder `folder` (ending in "/"): start-up, login window, event
// loop, and the end (windows unloaded once the loop has returned, database closed). Returns the
// exit status: 0 after an end through EndProgram (a shutdown signal's included), 1 when the
// start-up refused to go on.
int RunProgram(const QString& folder);
