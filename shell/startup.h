// Start-up, the event loop and shutdown.
#pragma once

// The whole program: start-up, then the event loop until the process ends.
int RunProgram();

// Sets Quit, releases the services and ends the process with status 0.
[[noreturn]] void ExitProgram();

// The video could not be brought up (or back): tells the user, releases the
// services and ends the process with status 1.
[[noreturn]] void ExitAfterVideoFailure();
