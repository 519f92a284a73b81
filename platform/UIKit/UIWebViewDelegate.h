#pragma once

#include "Foundation/NSError.h"
#include "Net/NSURLRequest.h"

class UIWebView;

enum UIWebViewNavigationType : long {
    UIWebViewNavigationTypeLinkClicked,
    UIWebViewNavigationTypeFormSubmitted,
    UIWebViewNavigationTypeBackForward,
    UIWebViewNavigationTypeReload,
    UIWebViewNavigationTypeFormResubmitted,
    UIWebViewNavigationTypeOther,
};

// What a web view tells its delegate; every method is optional.
class UIWebViewDelegate {
  public:
    virtual ~UIWebViewDelegate() = default;
    // false stops the navigation before anything is loaded.
    virtual bool webViewShouldStartLoadWithRequestNavigationType(UIWebView&, const NSURLRequest&,
                                                                 UIWebViewNavigationType) {
        return true;
    }
    virtual void webViewDidStartLoad(UIWebView&) {}
    virtual void webViewDidFinishLoad(UIWebView&) {}
    virtual void webViewDidFailLoadWithError(UIWebView&, const NSError&) {}
};
