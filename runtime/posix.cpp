// SPDX-License-Identifier: MIT
// The signals that end the program, on POSIX systems: runtime/native.h's
// ending, for Linux.
#include <signal.h>
#include <unistd.h>

#include <iterator>

#include "runtime/native.h"

// A hang-up (the terminal or session going away), an interrupt (Ctrl+C) and a
// termination request (a service manager's stop, `timeout`) end the program
// as a close request does: the handler raises a flag that WaitEvent turns
// into the close event. The loop may be stuck in the window system, though
// (an X server that stopped answering), and then would never get to it: the
// first such signal also sets an alarm, and when the program is still there
// that long after, the alarm ends it from its handler, by the signal's own
// default action, so the status says it was no clean close. StopPlatform
// takes the alarm back once all is released.
// Lone statics on purpose, not one record: the flags are written by signal
// handlers, which may touch nothing but lone volatile sig_atomic_t.
constexpr int EndSignals[] = {SIGHUP, SIGINT, SIGTERM};
constexpr unsigned EndGraceSeconds = 2;
static volatile sig_atomic_t endRequested = 0;  // waiting for WaitEvent
static volatile sig_atomic_t endingSignal = 0;  // the first one, for the alarm
static bool watching[std::size(EndSignals)] = {};

static void OnEndSignal(int signal) {
  endRequested = 1;
  if (endingSignal == 0) {
    endingSignal = signal;
    alarm(EndGraceSeconds);
  }
}

static void OnEndGraceOver(int) {
  static const char message[] = "pellovar: the window system did not let the game end; ending at once\n";
  ssize_t written = write(STDERR_FILENO, message, sizeof message - 1);
  (void)written;
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  sigaction(endingSignal, &fallback, nullptr);
  raise(endingSignal);
  _exit(128 + endingSignal);  // should the signal not end it after all
}

static bool Handle(int signal, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  return sigaction(signal, &action, nullptr) == 0;
}

void WatchEndSignals() {
  for (size_t k = 0; k < std::size(EndSignals); ++k) {
    if (watching[k]) continue;
    struct sigaction current {};
    // A signal the user chose to ignore (nohup, a background job) stays ignored.
    if (sigaction(EndSignals[k], nullptr, &current) != 0 || current.sa_handler != SIG_DFL) continue;
    watching[k] = Handle(EndSignals[k], OnEndSignal);
  }
  Handle(SIGALRM, OnEndGraceOver);
}

void UnwatchEndSignals() {
  alarm(0);
  Handle(SIGALRM, SIG_DFL);
  for (size_t k = 0; k < std::size(EndSignals); ++k) {
    if (watching[k]) Handle(EndSignals[k], SIG_DFL);
    watching[k] = false;
  }
  endRequested = 0;
  endingSignal = 0;
}

bool EndRequested() { return endRequested != 0; }

bool TakeEndRequest() {
  if (!endRequested) return false;
  endRequested = 0;
  return true;
}
