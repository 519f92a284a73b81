#pragma once

// Names of this system's signals and signal codes, for crash reports.

// The signal's name ("SIGSEGV"), or null when it has none. Runs in signal context.
const char* BITCrashCoreSignalName(int signal);
// The name of a signal's code ("SEGV_MAPERR"), or null when it has none. A code
// that the sender sets for any signal ("SI_USER", "SI_TKILL") is named for every
// signal. Runs in signal context.
const char* BITCrashCoreSignalCodeName(int signal, int code);
