#pragma once

#include <functional>

// Threads of the platform that are not dispatch workers (the network
// engine's) end with the program's background work: a hook added here runs
// once, on the thread that ends the program (DispatchQueue::exitProgram,
// endBackgroundWork, or exit), after the queues have closed and before the
// running blocks are awaited. It stops its thread and returns soon; what it
// ends may wake blocks that wait for it. A hook added once the program is
// ending runs at once.
void DispatchAddEndHook(std::function<void()> hook);
