#pragma once
// Ending the program from anywhere (a refused start-up, Cancel at login, the station's exits, a
// shutdown signal).
#include <atomic>
#include <functional>

// Ends the program: marks it ended, leaves every event loop (a modal window's and a message box's
// too, the box then counting as unanswered), shows no message box any more, and gives up every
// slow call of the window thread that waits on a server or a dial-up. The caller returns at once
// after calling it; nothing of the caller's procedure runs on.
//
// The windows are not unloaded here but by UnloadWindowsAtEnd() once the event loops have
// returned: a procedure that the end reached inside one of its waits (a bulk mail between two
// members, a test mail on a silent server) still finds its windows when it returns, sees
// ProgramEnded() and goes no further.
void EndProgram();

// True once EndProgram was called in this run.
bool ProgramEnded();

// The same as a flag that other threads may read: the slow calls of the window thread run on
// threads that give up their network waits while it is set.
const std::atomic<bool>& ProgramEndFlag();

// Unloads every window still loaded and closes any other; the program's main calls it once its
// event loop has returned.
void UnloadWindowsAtEnd();

// Tests observe the end instead of leaving their event loop: with a hook set, EndProgram only
// records the end and calls the hook. An empty hook restores the real end; setting a hook also
// clears the recorded end (and shows message boxes again).
void SetEndProgramHook(std::function<void()> hook);
