// The map engine's version, which the build writes into its bundle.
#include "Foundation/NSBundle.h"
#include "Foundation/NSData+Files.h"
#include "mapkit/CBMapScrollView.h"

namespace {
// A version is one short line; a larger file is not one.
constexpr size_t kMaximumVersionSize = 256;
}  // namespace

std::string CBMapScrollView::corvaneVersion() {
    auto path = NSBundle::mainBundle()->pathForResource("VERSION", "", "Quillmere.bundle");
    auto data = path ? dataWithContentsOfFile(*path, nullptr, kMaximumVersionSize) : std::nullopt;
    std::string version = data ? std::string(data->begin(), data->end()) : std::string();
    while (!version.empty() && (version.back() == '\n' || version.back() == '\r'))
        version.pop_back();
    return version.empty() ? "error retriving version" : version;
}
