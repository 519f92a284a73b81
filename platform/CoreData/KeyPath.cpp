#include "CoreData/KeyPath.h"

std::vector<std::string> splitKeyPath(const std::string& keyPath) {
    std::vector<std::string> path;
    size_t start = 0;
    while (start <= keyPath.size()) {
        size_t dot = keyPath.find('.', start);
        if (dot == std::string::npos)
            dot = keyPath.size();
        path.push_back(keyPath.substr(start, dot - start));
        start = dot + 1;
    }
    return path;
}
