#include "packages/CBMapStoreFetch.h"

#include "Dispatch/DispatchQueue.h"
#include "Foundation/NSLog.h"
#include "Net/NSURLSession.h"

void CBMapStoreFetch::fetch(const std::string& url, const std::string& method,
                            Completion completion) {
    auto answer = [completion](std::optional<Value::Data> body,
                               std::optional<NSHTTPURLResponse> response) {
        DispatchQueue::main()->async(
            [completion, body = std::move(body), response = std::move(response)]() mutable {
                if (completion)
                    completion(std::move(body), std::move(response));
            });
    };
    auto parsed = NSURL::URLWithString(url);
    if (!parsed) {
        NSLog("CBMapStoreFetch: not a URL: %s", url.c_str());
        answer(std::nullopt, std::nullopt);
        return;
    }
    NSMutableURLRequest request(*parsed, NSURLRequestCachePolicy::ReloadIgnoringLocalCacheData,
                                kTimeout);
    request.setHTTPMethod(method);
    auto task = NSURLSession::sharedSession()->dataTaskWithRequest(
        request,
        [answer, url](std::optional<Value::Data> body, std::optional<NSHTTPURLResponse> response,
                      std::optional<NSError> error) {
            if (error)
                NSLog("CBMapStoreFetch: %s failed: %s", url.c_str(),
                      error->localizedDescription().c_str());
            if (error || !response || response->statusCode() != 200)
                body.reset();
            answer(std::move(body), std::move(response));
        });
    if (!task) {
        answer(std::nullopt, std::nullopt);
        return;
    }
    task->resume();
}
