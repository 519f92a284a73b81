#pragma once

#include <map>
#include <optional>
#include <string>

#include "Foundation/Value.h"
#include "Net/NSURL.h"

enum class NSURLRequestCachePolicy {
    UseProtocolCachePolicy = 0,
    ReloadIgnoringLocalCacheData = 1,
    ReturnCacheDataElseLoad = 2,
    ReturnCacheDataDontLoad = 3,
};

// Header names compare without regard to case, as HTTP says.
struct NSHTTPHeaderNameLess {
    bool operator()(const std::string& a, const std::string& b) const;
};
using NSHTTPHeaderFields = std::map<std::string, std::string, NSHTTPHeaderNameLess>;

// What to load and how. There is no URL cache: every policy loads from the
// network; the policy is kept for callers that read it back.
//
// The timeout is an idle timeout: the request fails with NSURLErrorTimedOut
// when nothing arrives or leaves for that many seconds.
class NSURLRequest {
  public:
    static constexpr double kDefaultTimeoutInterval = 60.0;

    explicit NSURLRequest(
        NSURL url,
        NSURLRequestCachePolicy cachePolicy = NSURLRequestCachePolicy::UseProtocolCachePolicy,
        double timeoutInterval = kDefaultTimeoutInterval);

    const NSURL& URL() const { return url_; }
    const std::string& HTTPMethod() const { return method_; }
    const NSHTTPHeaderFields& allHTTPHeaderFields() const { return headers_; }
    std::optional<std::string> valueForHTTPHeaderField(const std::string& field) const;
    const Value::Data& HTTPBody() const { return body_; }
    double timeoutInterval() const { return timeout_; }
    NSURLRequestCachePolicy cachePolicy() const { return cachePolicy_; }
    // NO: a redirect response ends the request and is delivered as it is.
    bool HTTPShouldFollowRedirects() const { return followRedirects_; }

  protected:
    NSURL url_;
    std::string method_ = "GET";
    NSHTTPHeaderFields headers_;
    Value::Data body_;
    double timeout_;
    NSURLRequestCachePolicy cachePolicy_;
    bool followRedirects_ = true;
};

class NSMutableURLRequest : public NSURLRequest {
  public:
    using NSURLRequest::NSURLRequest;
    NSMutableURLRequest(const NSURLRequest& request) : NSURLRequest(request) {}

    void setURL(NSURL url) { url_ = std::move(url); }
    void setHTTPMethod(std::string method) { method_ = std::move(method); }
    // Replaces the field; an empty optional removes it.
    void setValueForHTTPHeaderField(std::optional<std::string> value, const std::string& field);
    // Appends to an existing field, separated by a comma.
    void addValueForHTTPHeaderField(const std::string& value, const std::string& field);
    void setAllHTTPHeaderFields(NSHTTPHeaderFields fields) { headers_ = std::move(fields); }
    void setHTTPBody(Value::Data body) { body_ = std::move(body); }
    void setTimeoutInterval(double seconds) { timeout_ = seconds; }
    void setCachePolicy(NSURLRequestCachePolicy policy) { cachePolicy_ = policy; }
    void setHTTPShouldFollowRedirects(bool follow) { followRedirects_ = follow; }
};
