#include "model/CBWikipediaOfflineLinks.h"

#include "Net/NSURL.h"

namespace {
constexpr std::string_view kHref = "href=\"";
constexpr std::string_view kMark = " data-offline=\"true\"";
}  // namespace

CBWikipediaOfflineLinks::CBWikipediaOfflineLinks(const std::vector<std::string>& urls) {
    links_.reserve(urls.size() * 2);
    for (const auto& url : urls) {
        links_.insert(url);
        // An address with a broken escape has no decoded spelling.
        if (auto decoded = NSURL::percentDecode(url))
            links_.insert(std::move(*decoded));
    }
}

bool CBWikipediaOfflineLinks::contains(std::string_view href) const {
    return links_.find(href) != links_.end();
}

std::string CBWikipediaOfflineLinks::markedBody(std::string_view body) const {
    std::string marked;
    marked.reserve(body.size() + body.size() / 16);
    size_t copied = 0;
    for (size_t found = body.find(kHref); found != std::string_view::npos;
         found = body.find(kHref, found)) {
        const size_t value = found + kHref.size();
        const size_t close = body.find('"', value);
        if (close == std::string_view::npos)
            break;
        found = close + 1;
        if (!contains(body.substr(value, close - value)))
            continue;
        marked.append(body.substr(copied, found - copied));
        marked.append(kMark);
        copied = found;
    }
    marked.append(body.substr(copied));
    return marked;
}
