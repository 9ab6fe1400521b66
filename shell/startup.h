// SPDX-License-Identifier: MIT
// Start-up, the event loop and shutdown.
#pragma once

// The whole program: --help or --version answered, or else start-up, then
// the event loop until the process ends.
int RunProgram(int argc, const char* const argv[]);

// What AnswerArguments returns when the game is to start.
constexpr int KeepRunning = -1;

// Answers --help and --version on standard output before anything is started,
// so neither needs a display, and returns the exit status (0, or 1 when the
// answer could not be written). The game takes no other arguments and ignores
// whatever else it is given: KeepRunning then.
int AnswerArguments(int argc, const char* const argv[]);

// What --help prints: usage and the controls.
const char* UsageText();

// Start-up up to the event loop, which leaves the main menu shown. Ends the
// process after the failure message when the video cannot be brought up.
void StartProgram();

// One pass of the event loop, waiting up to `timeout` ms for a window event.
// False once the program is to end (a close request, or Quit already set);
// RunProgram then calls ExitProgram. Tests and the soak drive this directly.
bool EventLoopPass(int timeout);

// Milliseconds until the next tick is due: what RunProgram lets a pass wait.
// 0 when the tick is due or late, never more than one tick period.
int UntilTickDue();

// Sets Quit, releases the services and ends the process with status 0.
[[noreturn]] void ExitProgram();

// The video could not be brought up (or back): tells the user, releases the
// services and ends the process with status 1.
[[noreturn]] void ExitAfterVideoFailure();
