#pragma once

#include <string_view>

// Whether a name from outside (an identifier or code of a downloaded
// catalogue, a download's identifier or type) may become one component of a
// file path or URL: 1 to 64 characters of A-Z, a-z, 0-9, "_" and "-". Checked
// wherever such a name is built into a path.
bool ZELIsSafePathComponent(std::string_view name);
