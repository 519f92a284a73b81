#pragma once

#include <string>

// A UUID string kept under the user default "ZELPersistentIdentifier", made
// and stored on first request; it lives as long as the application's defaults.
// Called from the main thread.
std::string zel_persistentIdentifier();
