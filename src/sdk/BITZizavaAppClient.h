#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Foundation/Value.h"
#include "Net/NSURL.h"
#include "Net/NSURLRequest.h"
#include "sdk/BITHTTPOperation.h"
#include "sdk/BITHTTPOperationQueue.h"

// The SDK's HTTP client for the service: requests relative to a base URL
// (a query string for GET, a multipart/form-data body for other methods),
// run one at a time.
class BITZizavaAppClient {
  public:
    using Parameters = std::map<std::string, std::string>;
    using Completion = BITHTTPOperation::Completion;

    // The usual boundary; another is chosen when a part's content holds it.
    static constexpr const char* kDefaultBoundary = "----FOO";

    explicit BITZizavaAppClient(NSURL baseURL);  // initWithBaseURL:
    ~BITZizavaAppClient();                       // cancels every queued operation

    NSMutableURLRequest requestWithMethodPathParameters(
        const std::string& method, const std::optional<std::string>& path,
        const std::optional<Parameters>& parameters) const;
    std::shared_ptr<BITHTTPOperation> operationWithURLRequestCompletion(
        const NSURLRequest& request, Completion completion) const;
    void getPathParametersCompletion(const std::optional<std::string>& path,
                                     const std::optional<Parameters>& parameters,
                                     Completion completion);
    void postPathParametersCompletion(const std::optional<std::string>& path,
                                      const std::optional<Parameters>& parameters,
                                      Completion completion);
    void enqeueHTTPOperation(const std::shared_ptr<BITHTTPOperation>& operation);
    // Cancels the waiting and running operations whose method equals `method`
    // and whose URL is the GET URL of `path` (nullopt matches anything);
    // answers how many.
    size_t cancelOperationsWithPathMethod(const std::optional<std::string>& path,
                                          const std::optional<std::string>& method);

    std::shared_ptr<BITHTTPOperationQueue> operationQueue();
    void setOperationQueue(std::shared_ptr<BITHTTPOperationQueue> queue);
    const NSURL& baseURL() const { return baseURL_; }
    void setBaseURL(NSURL url) { baseURL_ = std::move(url); }

    // A text part: content type "text", no file name.
    static Value::Data dataWithPostValueForKeyBoundary(const std::string& value,
                                                       const std::string& key,
                                                       const std::string& boundary);
    // One part of a multipart body. The key and file name are written with
    // quotes, backslashes and line breaks percent-encoded, so no value can end
    // the header early.
    static Value::Data dataWithPostValueForKeyContentTypeBoundaryFilename(
        const Value::Data& value, const std::string& key, const std::string& contentType,
        const std::string& boundary, const std::optional<std::string>& filename);
    // A boundary that occurs in none of the contents: kDefaultBoundary when
    // it can be, else it followed by random hexadecimal digits.
    static std::string boundaryForContents(const std::vector<std::string_view>& contents);
    // "key=value&key=value" with keys and values percent-encoded, in UTF-8 (the
    // one encoding strings have here).
    static std::string queryStringFromParametersWithEncoding(const Parameters& parameters);

  private:
    NSURL baseURL_;
    std::shared_ptr<BITHTTPOperationQueue> operationQueue_;
};
