#pragma once

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "Dispatch/NSRunLoop.h"
#include "UIKit/UIWebView.h"
#include "UIKitTestSupport.h"

// Records what a web view tells its delegate; refuses navigations when asked to.
struct RecordingWebViewDelegate : UIWebViewDelegate {
    std::vector<std::pair<std::string, UIWebViewNavigationType>> asked;
    bool allow = true;
    int started = 0, finished = 0, failed = 0;
    std::optional<NSError> error;

    bool webViewShouldStartLoadWithRequestNavigationType(UIWebView&, const NSURLRequest& request,
                                                         UIWebViewNavigationType type) override {
        asked.emplace_back(request.URL().absoluteString(), type);
        return allow;
    }
    void webViewDidStartLoad(UIWebView&) override { ++started; }
    void webViewDidFinishLoad(UIWebView&) override { ++finished; }
    void webViewDidFailLoadWithError(UIWebView&, const NSError& e) override {
        ++failed;
        error = e;
    }
    // Runs the main loop until `count` loads have ended.
    bool waitForLoads(int count) {
        return NSRunLoop::mainRunLoop()->runUntil([&] { return finished + failed >= count; }, 20);
    }
};

inline std::string webTestData(const std::string& name) {
    const char* data = std::getenv("KELVARA_TEST_DATA");
    return std::filesystem::absolute(std::string(data ? data : "tests/data") + "/web/" + name)
        .lexically_normal()
        .string();
}

inline NSURL webFileURL(const std::string& name) {
    return *NSURL::URLWithString("file://" + NSURL::percentEncode(webTestData(name), "/"));
}
