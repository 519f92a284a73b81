#include "Net/NSURLError.h"

NSError NSURLErrorMake(long code, const std::string& description, const std::string& failingURL) {
    Value::Dictionary userInfo{{NSError::NSLocalizedDescriptionKey, description}};
    if (!failingURL.empty())
        userInfo[NSURLErrorFailingURLStringErrorKey] = failingURL;
    return NSError::errorWithDomain(NSURLErrorDomain, code, std::move(userInfo));
}
