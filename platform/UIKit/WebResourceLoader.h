#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "Foundation/NSError.h"
#include "Net/NSURL.h"

// Fetches what a page refers to (style sheets, images, linked pages).
//
// A page loaded from a file may read files only inside its own folder (the
// folder of its base URL, symbolic links resolved): anything else, "../"
// tricks included, is refused. http and https resources are fetched through
// NSURLSession; the call blocks, so it runs off the main thread. Other
// schemes are refused. Resources above kMaximumLength are refused. A loader
// for local content only refuses http and https as well.
class WebResourceLoader {
  public:
    static constexpr size_t kMaximumLength = size_t{32} << 20;
    static constexpr double kTimeoutSeconds = 30;

    // base: the page's URL; a file URL naming a folder ends with "/".
    explicit WebResourceLoader(std::optional<NSURL> base);
    // A page reached by a link keeps the folder of the page it came from.
    WebResourceLoader(std::optional<NSURL> base, std::string root);

    const std::optional<NSURL>& base() const { return base_; }
    // The folder file resources must stay in; empty for other bases.
    const std::string& root() const { return root_; }
    // Nothing comes from the network: only files inside the folder load.
    bool localContentOnly() const { return localContentOnly_; }
    void setLocalContentOnly(bool flag) { localContentOnly_ = flag; }

    // reference resolved against the base; nullopt when it is no URL.
    std::optional<NSURL> resolve(const std::string& reference) const;
    // Whether a file URL lies inside the folder (false for other schemes).
    bool isInsideRoot(const NSURL& url) const;
    // The bytes, or nullopt (logged, and an NSURLErrorDomain error in *error
    // when given) when refused, missing, too large or not fetched.
    std::optional<std::string> load(const NSURL& url, NSError* error = nullptr) const;

  private:
    std::optional<NSURL> base_;
    std::string root_;
    bool localContentOnly_ = false;
};
