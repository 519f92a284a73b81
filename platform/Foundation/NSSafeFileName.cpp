#include "Foundation/NSSafeFileName.h"

std::string NSSafeFileName(const std::string& name, const std::string& fallback) {
    std::string last = name;
    const size_t slash = last.find_last_of("/\\");
    if (slash != std::string::npos)
        last = last.substr(slash + 1);
    std::string safe;
    for (unsigned char c : last)
        if (c >= 0x20 && c != 0x7F && c != ':')
            safe += char(c);
    const size_t firstKept = safe.find_first_not_of(". ");
    safe = firstKept == std::string::npos ? "" : safe.substr(firstKept);
    if (safe.size() > 200) {
        // Keep the end (the extension); start on a character boundary.
        size_t start = safe.size() - 200;
        while (start < safe.size() && (static_cast<unsigned char>(safe[start]) & 0xC0) == 0x80)
            ++start;
        safe = safe.substr(start);
    }
    return safe.empty() ? fallback : safe;
}
