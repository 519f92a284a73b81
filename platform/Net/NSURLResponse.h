#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "Net/NSURL.h"
#include "Net/NSURLRequest.h"

// The head of a response: where it came from and what the body is.
class NSURLResponse {
  public:
    NSURLResponse(NSURL url, std::string MIMEType, int64_t expectedContentLength,
                  std::optional<std::string> textEncodingName);
    virtual ~NSURLResponse() = default;

    const NSURL& URL() const { return url_; }
    const std::string& MIMEType() const { return mimeType_; }
    // -1 when the server did not say.
    int64_t expectedContentLength() const { return expectedContentLength_; }
    const std::optional<std::string>& textEncodingName() const { return textEncodingName_; }

  private:
    NSURL url_;
    std::string mimeType_;
    int64_t expectedContentLength_;
    std::optional<std::string> textEncodingName_;
};

class NSHTTPURLResponse : public NSURLResponse {
  public:
    // MIME type, length and encoding are read from the header fields.
    NSHTTPURLResponse(NSURL url, long statusCode, NSHTTPHeaderFields headerFields);

    long statusCode() const { return statusCode_; }
    const NSHTTPHeaderFields& allHeaderFields() const { return headers_; }
    std::optional<std::string> valueForHTTPHeaderField(const std::string& field) const;

  private:
    long statusCode_;
    NSHTTPHeaderFields headers_;
};
