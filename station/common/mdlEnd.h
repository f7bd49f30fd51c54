#pragma once
// Ending the program from anywhere (a refused start-up, Cancel at login, the station's exits).
#include <functional>

// Ends the program: leaves the event loop, unloads every loaded window and closes any other. The caller returns at once
// after calling it; nothing of the caller's procedure runs on.
void EndProgram();

// True once EndProgram was called in this run.
bool ProgramEnded();

// Tests observe the end instead of leaving their event loop: with a hook set, EndProgram only
// records the end and calls the hook. An empty hook restores the real end; setting a hook also
// clears the recorded end.
void SetEndProgramHook(std::function<void()> hook);
