#include "Net/NSURLRequest.h"
#include "Net/NSURLResponse.h"

#include <gtest/gtest.h>

TEST(NSURLRequest, HeaderFieldsIgnoreCaseAndCanBeAddedToOrRemoved) {
    NSMutableURLRequest request(*NSURL::URLWithString("http://127.0.0.1/"));
    EXPECT_EQ(request.HTTPMethod(), "GET");
    EXPECT_EQ(request.timeoutInterval(), 60.0);
    request.setValueForHTTPHeaderField("a", "X-Field");
    request.setValueForHTTPHeaderField("b", "x-field");
    EXPECT_EQ(request.valueForHTTPHeaderField("X-FIELD"), "b");
    request.addValueForHTTPHeaderField("c", "X-Field");
    EXPECT_EQ(request.valueForHTTPHeaderField("x-field"), "b,c");
    EXPECT_EQ(request.allHTTPHeaderFields().size(), 1u);
    request.setValueForHTTPHeaderField(std::nullopt, "X-FIELD");
    EXPECT_TRUE(request.allHTTPHeaderFields().empty());
}

TEST(NSHTTPURLResponse, ReadsTypeLengthAndEncodingFromTheHeader) {
    const NSHTTPURLResponse response(
        *NSURL::URLWithString("http://127.0.0.1/"), 206,
        {{"content-type", "Text/HTML; Charset=\"UTF-8\""}, {"Content-Length", "12"}});
    EXPECT_EQ(response.statusCode(), 206);
    EXPECT_EQ(response.MIMEType(), "text/html");
    EXPECT_EQ(response.textEncodingName(), "utf-8");
    EXPECT_EQ(response.expectedContentLength(), 12);
    EXPECT_EQ(response.valueForHTTPHeaderField("CONTENT-LENGTH"), "12");
}

TEST(NSHTTPURLResponse, AHostileLengthIsUnknown) {
    for (const char* length : {"-5", "12abc", "99999999999999999999999", ""}) {
        const NSHTTPURLResponse response(*NSURL::URLWithString("http://127.0.0.1/"), 200,
                                         {{"Content-Length", length}});
        EXPECT_EQ(response.expectedContentLength(), -1) << length;
    }
}
