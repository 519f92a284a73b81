#pragma once

#include <string>

#include "Dispatch/NSThread.h"

// A UUID string kept under "kNSThreadUniqueIdentifier" in the thread's
// dictionary, made on first request; it lives as long as the thread. Only the
// thread itself may ask (the dictionary is private to it).
std::string uniqueIdentifier(NSThread& thread);
// The calling thread's identifier.
std::string uniqueIdentifier();
