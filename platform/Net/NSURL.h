#pragma once

#include <optional>
#include <string>
#include <string_view>

// An absolute URL, parsed once: scheme://[user@]host[:port]/path?query#fragment.
// The parts keep their percent-escapes; path() decodes them. Strings that are
// not URLs (no scheme, spaces or other characters a URL cannot hold, a bad
// escape or port) give nullopt, as the platform answers nil.
class NSURL {
  public:
    static std::optional<NSURL> URLWithString(std::string_view string);
    // A reference (absolute, "//host/...", "/path", "name", "?q", "#f", with
    // "." and ".." segments) resolved against base as RFC 3986 says. Spaces,
    // stray "%" and bytes a URL cannot hold are percent-encoded first, as
    // browsers do with the links of a page.
    static std::optional<NSURL> URLWithStringRelativeToURL(std::string_view reference,
                                                           const NSURL& base);

    const std::string& absoluteString() const { return absoluteString_; }
    const std::string& scheme() const { return scheme_; }  // lower-case
    const std::string& host() const { return host_; }      // lower-case, IPv6 without brackets
    std::optional<int> port() const { return port_; }
    // The decoded path ("/" for "http://host/"; empty when the URL has none).
    std::string path() const;
    const std::string& percentEncodedPath() const { return path_; }
    const std::optional<std::string>& query() const { return query_; }
    const std::optional<std::string>& fragment() const { return fragment_; }
    // The decoded last segment of the path, ignoring a trailing slash.
    std::string lastPathComponent() const;

    // The URL with one more path segment: a slash between, the component's
    // characters that a path cannot hold percent-encoded (existing escapes
    // and slashes stay); query and fragment are dropped as the platform does.
    NSURL URLByAppendingPathComponent(std::string_view component) const;

    bool operator==(const NSURL& other) const { return absoluteString_ == other.absoluteString_; }

    // Percent-encodes every byte except letters, digits, "-._~" and the
    // characters of `allowed`. UTF-8 sequences are encoded byte by byte.
    static std::string percentEncode(std::string_view text, std::string_view allowed = {});
    // Decodes %XX escapes; nullopt for a truncated or non-hexadecimal escape.
    static std::optional<std::string> percentDecode(std::string_view text);

  private:
    NSURL() = default;
    void compose();

    std::string absoluteString_;
    std::string scheme_;
    std::optional<std::string> user_;
    std::string host_;
    bool hasAuthority_ = false;
    std::optional<int> port_;
    std::string path_;
    std::optional<std::string> query_;
    std::optional<std::string> fragment_;
};
