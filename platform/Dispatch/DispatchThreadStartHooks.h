#pragma once

#include <functional>

// Work run first on every worker thread the dispatch queues start from now
// on, before any block: per-thread set-up of lower layers' users, such as
// the crash reporter's alternate signal stack. Threads already running are
// not revisited, so hooks belong at start-up, before the first queue.
void DispatchAddThreadStartHook(std::function<void()> hook);

// Runs the hooks on the calling thread (the worker start does this).
void DispatchRunThreadStartHooks();
