#include "wikipedia/CBWikipediaArticlePage.h"

#include <array>
#include <cstdio>
#include <mutex>

#include "Foundation/ICUString.h"
#include "Foundation/NSBundle.h"
#include "Foundation/NSData+Files.h"
#include "Foundation/NSLog.h"
#include "Foundation/NSString+MarkupEscaping.h"
#include "model/CBWikipediaOfflineLinks.h"

namespace {

constexpr const char* kFallbackTemplate =
    "<html><head><meta charset=\"utf-8\"><title>$TITLE</title></head>"
    "<body><h1>$TITLE</h1>$CONTENT</body></html>";

std::string replacingAll(std::string_view text, std::string_view what, std::string_view with) {
    std::string result;
    result.reserve(text.size());
    size_t copied = 0;
    for (size_t found = text.find(what); found != std::string_view::npos;
         found = text.find(what, copied)) {
        result.append(text.substr(copied, found - copied));
        result.append(with);
        copied = found + what.size();
    }
    result.append(text.substr(copied));
    return result;
}

}  // namespace

std::string CBWikipediaArticlePage::pageTemplate() {
    static std::mutex mutex;
    static std::string readFrom;
    static std::string text;
    std::lock_guard lock(mutex);
    const auto path = NSBundle::mainBundle()->pathForResource("wikipedia", "tpl");
    if (path && *path == readFrom)
        return text;
    const auto bytes = path ? dataWithContentsOfFile(*path) : std::nullopt;
    if (!bytes) {
        NSLogWithLevel(NSLogLevel::Error,
                       "CBWikipediaViewer: the bundle has no page template wikipedia.tpl; "
                       "articles show as plain pages");
        return kFallbackTemplate;
    }
    readFrom = *path;
    text = UTF8StringByRepairing(
        std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
    return text;
}

std::string CBWikipediaArticlePage::pageForArticle(std::string_view pageTemplate, Article article,
                                                   double width, std::string_view bundlePath,
                                                   const CBWikipediaOfflineLinks* offlineLinks) {
    std::string body;
    if (article.html)
        body = UTF8StringByRepairing(std::string_view(
            reinterpret_cast<const char*>(article.html->data()), article.html->size()));
    article.html.reset();
    if (body.find("srcset") != std::string::npos)
        body = replacingAll(body, "srcset", "srcset-unsupported");
    if (offlineLinks)
        body = offlineLinks->markedBody(body);

    char widthText[32];
    std::snprintf(widthText, sizeof widthText, "%.1f", width);
    const std::array<std::pair<std::string_view, std::string>, 5> placeholders{{
        {"$MAIN_BUNDLE_PATH", NSStringByEscapingMarkup(std::string(bundlePath))},
        {"$WIDTH", widthText},
        {"$SOURCE_URL", NSStringByEscapingMarkup(UTF8StringByRepairing(article.url))},
        {"$TITLE", NSStringByEscapingMarkup(UTF8StringByRepairing(article.title))},
        {"$CONTENT", std::move(body)},
    }};
    std::string page;
    page.reserve(pageTemplate.size() + placeholders[4].second.size());
    size_t copied = 0;
    for (size_t dollar = pageTemplate.find('$'); dollar != std::string_view::npos;
         dollar = pageTemplate.find('$', dollar + 1)) {
        for (const auto& [name, value] : placeholders) {
            if (pageTemplate.substr(dollar, name.size()) != name)
                continue;
            page.append(pageTemplate.substr(copied, dollar - copied));
            page.append(value);
            copied = dollar + name.size();
            dollar = copied - 1;
            break;
        }
    }
    page.append(pageTemplate.substr(copied));
    return page;
}
