// kelvara-mapstore-content: the local map store server's content made from
// the sample map packages, the world atlas and ICU's country names.
#include <cstdio>
#include <filesystem>
#include <string>

#include "Foundation/NSBundle.h"
#include "StoreContent.h"
#include "ToolOptions.h"

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: kelvara-mapstore-content --packages DIR --world FILE --model FILE "
                 "--geo-model FILE --types FILE --bundle DIR --root DIR --resources DIR\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    auto parsed = parseToolOptions(argc, argv,
                                   {"--packages", "--world", "--model", "--geo-model", "--types",
                                    "--bundle", "--root", "--resources"});
    if (!parsed)
        return usage();
    auto& options = *parsed;
    NSBundle::setMainBundlePath(options["--bundle"]);
    StoreContentRequest request{options["--packages"],  options["--world"], options["--model"],
                                options["--geo-model"], options["--types"], options["--root"],
                                options["--resources"]};
    std::string error;
    if (!StoreContent::build(request, &error)) {
        std::fprintf(stderr, "kelvara-mapstore-content: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
