#include "widgets/CBScreenBreadcrumb.h"

#include <cxxabi.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <typeinfo>

#include "UIKit/UIViewController.h"
#include "foundation/NSUserDefaults+CrashInformation.h"

namespace {
// The class's name as written, so the breadcrumb reads as the code does.
std::string classNameOf(const UIViewController& screen) {
    const char* mangled = typeid(screen).name();
    int status = 0;
    std::unique_ptr<char, decltype(&std::free)> name(
        abi::__cxa_demangle(mangled, nullptr, nullptr, &status), &std::free);
    return status == 0 && name ? std::string(name.get()) : std::string(mangled);
}
}  // namespace

void CBScreenBreadcrumb::screenAppeared(const UIViewController& screen) {
    CrashInformation::crashInformationSetCurrentViewController(classNameOf(screen));
}
