#include "packages/ZELDownloadAddress.h"

#include <algorithm>
#include <cctype>

#include "Net/NSURL.h"
#include "packages/CBMapStoreURLManager.h"

namespace {

bool hasScheme(const std::string& address) {
    const size_t colon = address.find(':');
    const size_t slash = address.find('/');
    return colon != std::string::npos && colon > 0 && (slash == std::string::npos || colon < slash);
}

// The store's path with a trailing slash ("/" for a store at the root).
std::string directoryPath(const NSURL& store) {
    std::string path = store.percentEncodedPath();
    if (path.empty() || path.back() != '/')
        path += '/';
    return path;
}

}  // namespace

std::string ZELDownloadAddress::addressToKeep(const std::string& url,
                                              const std::optional<std::string>& storeURL) {
    if (!storeURL)
        return url;
    const std::string prefix = *storeURL + "/";
    if (url.size() > prefix.size() && url.compare(0, prefix.size(), prefix) == 0) {
        const std::string rest = url.substr(prefix.size());
        if (CBMapStoreURLManager::isPlainRelativePath(rest))
            return rest;
    }
    return url;
}

std::optional<std::string> ZELDownloadAddress::storeAddressOfURL(const std::string& url,
                                                                 const std::string& storeURL) {
    const auto parsed = NSURL::URLWithString(url);
    const auto store = NSURL::URLWithString(storeURL);
    if (!parsed || !store || parsed->host().empty() || parsed->host() != store->host() ||
        parsed->query() || parsed->fragment())
        return std::nullopt;
    if (parsed->scheme() != "http" && parsed->scheme() != "https")
        return std::nullopt;
    const std::string prefix = directoryPath(*store);
    const std::string& path = parsed->percentEncodedPath();
    if (path.size() <= prefix.size() || path.compare(0, prefix.size(), prefix) != 0)
        return std::nullopt;
    std::string rest = path.substr(prefix.size());
    if (!CBMapStoreURLManager::isPlainRelativePath(rest))
        return std::nullopt;
    return rest;
}

ZELDownloadAddress::Resolution ZELDownloadAddress::urlToLoad(
    const std::string& address, const std::optional<std::string>& storeURL) {
    if (!storeURL)
        return {std::nullopt, "no map store address is set"};
    if (!hasScheme(address)) {
        if (!CBMapStoreURLManager::isPlainRelativePath(address))
            return {std::nullopt, "\"" + address + "\" is not a path on the map store"};
        return {*storeURL + "/" + address, {}};
    }
    const size_t colon = address.find(':');
    std::string scheme = address.substr(0, colon);
    std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    if (scheme != "http" && scheme != "https")
        return {std::nullopt, "the scheme " + scheme + " is neither http nor https"};
    if (address.compare(colon + 1, 2, "//") != 0 || colon + 3 >= address.size() ||
        address[colon + 3] == '/')
        return {std::nullopt, "\"" + address + "\" names no host"};
    const auto parsed = NSURL::URLWithString(address);
    if (!parsed || parsed->host().empty())
        return {std::nullopt, "\"" + address + "\" is not a URL with a host"};
    const auto store = NSURL::URLWithString(*storeURL);
    if (!store || parsed->host() != store->host())
        return {std::nullopt, "the host " + parsed->host() + " is not the map store's"};
    return {address, {}};
}
