#pragma once

// Every thread needs its own alternate signal stack, or a stack overflow on it
// cannot be reported: the handler would have no stack to run on. The crash
// reporter installs one for the thread that enables it (normally the main
// thread); whoever creates a thread (the dispatch runtime's workers, any
// std::thread of the application) calls this first thing on the new thread.
// Safe to call repeatedly: a thread that already has an alternate stack keeps
// it. The stack is released when the thread ends. Returns false, with errno
// set, when the stack cannot be allocated or installed.
bool installAlternateSignalStackForCurrentThread();

// The byte size of each alternate stack.
inline constexpr unsigned long BITCrashCoreAlternateSignalStackSize = 0x10000;
