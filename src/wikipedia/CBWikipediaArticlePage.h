#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "Foundation/Value.h"

class CBWikipediaOfflineLinks;

// The page the article viewer shows: the bundle's template "wikipedia.tpl"
// with the article filled in. Each placeholder of the template is filled
// once, and what goes in is never searched for placeholders again, so a
// title holding "$CONTENT" stays text. Title, address and bundle path are
// escaped as markup; the body is the article's HTML, its bytes repaired
// where they are no UTF-8, "srcset" renamed (the web view draws the plain
// source) and its links to stored articles marked (CBWikipediaOfflineLinks).
//
// Pure text work: it runs on any thread.
class CBWikipediaArticlePage {
  public:
    struct Article {
        std::string url;
        std::string title;
        std::optional<Value::Data> html;  // nullopt: the article has no body
    };

    // The template read once per bundle; a built-in plain page when the
    // bundle lacks it.
    static std::string pageTemplate();

    // The article's body is let go as soon as the page's is made of it:
    // a large article is held once at a time.
    static std::string pageForArticle(std::string_view pageTemplate, Article article, double width,
                                      std::string_view bundlePath,
                                      const CBWikipediaOfflineLinks* offlineLinks);
};
