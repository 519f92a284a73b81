#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "CoreGraphics/CGContext.h"
#include "Foundation/NSLog.h"
#include "UIKit/WebDocument.h"
#include "UIKit/WebResourceLoader.h"

// As the web page target; see there.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\nleak:libpango\nleak:libharfbuzz.so\nleak:libcairo.so\n"
           "leak:liblitehtml.so\n";
}

// A page and the style sheets of its folder, so that links and imports
// between them load: the input is split at NUL bytes into index.html,
// a.css, b.css and c.css of a private folder.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::filesystem::path folder = [] {
        NSLogSetSink([](NSLogLevel, const std::string&) {});
        std::string pattern =
            (std::filesystem::temp_directory_path() / "kelvara-web-fuzz-XXXXXX").string();
        return std::filesystem::path(mkdtemp(pattern.data()));
    }();
    static const char* names[] = {"index.html", "a.css", "b.css", "c.css"};
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::string page;
    size_t from = 0;
    for (size_t n = 0; n < std::size(names); ++n) {
        const size_t end = std::min(input.find('\0', from), input.size());
        const std::string_view part =
            from <= input.size() ? input.substr(from, end - from) : std::string_view();
        if (n == 0)
            page = part;
        else
            std::ofstream(folder / names[n], std::ios::binary | std::ios::trunc) << part;
        from = end + 1;
    }
    const WebResourceLoader loader(
        NSURL::URLWithString("file://" + NSURL::percentEncode((folder / names[0]).string(), "/")));
    WebDocument::Layout layout;
    layout.width = 160;
    layout.viewport = {160, 240};
    layout.scale = 1;
    auto document = WebDocument::create(page, loader, layout);
    document->setTextZoom(1.5);
    static auto context = CGContext::createBitmapContext(160, 240);
    document->draw(*context, CGRectMake(0, 0, 160, 240));
    return 0;
}
