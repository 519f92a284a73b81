#include <cstddef>
#include <cstdint>
#include <string>

#include "CoreGraphics/CGContext.h"
#include "Foundation/NSLog.h"
#include "UIKit/WebDocument.h"
#include "UIKit/WebResourceLoader.h"

// fontconfig and pango keep every font they load for the life of the
// process; pages asking for many families grow those caches. litehtml 0.6
// keeps some malformed tables' elements in reference cycles. Neither is a
// leak of ours, nor one we can mend here.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\nleak:libpango\nleak:libharfbuzz.so\nleak:libcairo.so\n"
           "leak:liblitehtml.so\n";
}

// A page as a web view loads it: depth limit, parse, style, layout at phone
// width, a link hit test and a draw of the first screen. The base is an empty
// folder, so style sheet and image references resolve and are refused.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool quiet = [] {
        NSLogSetSink([](NSLogLevel, const std::string&) {});
        return true;
    }();
    (void)quiet;
    static const WebResourceLoader loader(NSURL::URLWithString("file:///nonexistent/page.html"));
    static auto context = CGContext::createBitmapContext(160, 240);
    WebDocument::Layout layout;
    layout.width = 160;
    layout.viewport = {160, 240};
    layout.scale = 1;
    auto document =
        WebDocument::create(std::string(reinterpret_cast<const char*>(data), size), loader, layout);
    document->linkAt({20, 20});
    context->saveGState();
    context->translateCTM(0, 240);
    context->scaleCTM(1, -1);
    document->draw(*context, CGRectMake(0, 0, 160, 240));
    context->restoreGState();
    return 0;
}
