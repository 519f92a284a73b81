#pragma once

#include <string>

#include "UIKit/UIFont.h"

// The size of the text drawn on one line in the font, from a process-wide
// cache keyed by text, font name and size to one decimal (so 12.0 and 12.04
// points share an entry). Safe on any thread: a miss is measured on the
// calling thread, which the text stand-in allows; waiting for the main
// thread could deadlock tile-drawing threads the main thread waits for.
CGSize zelSizeWithFont(const std::string& text, const UIFontRef& font);

// Entries kept now (for tests); the cache forgets everything past a limit.
size_t zelDrawingSizeCacheCount();
