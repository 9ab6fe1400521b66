// SPDX-License-Identifier: MIT
#include "shell/startup.h"

// With C linkage: on Windows SDL's build flags rename main to SDL_main, which
// SDL's own entry point calls as a C function.
extern "C" int main(int argc, char** argv) { return RunProgram(argc, argv); }
