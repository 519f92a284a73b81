#include <filesystem>

#include "Net/NSURLError.h"
#include "UIKit/WebResourceLoader.h"
#include "WebViewTestSupport.h"
#include "platform/Foundation/TemporaryDirectory.h"

TEST(WebResourceLoaderTest, FilesStayInsideThePageFolder) {
    const WebResourceLoader loader(webFileURL("package/index.html"));
    EXPECT_TRUE(loader.load(*loader.resolve("style.css")));
    EXPECT_TRUE(loader.load(*loader.resolve("./sub/../style.css")) ==
                loader.load(*loader.resolve("style.css")));
    NSError error;
    EXPECT_FALSE(loader.load(*loader.resolve("../outside.html"), &error));
    EXPECT_EQ(error.code, NSURLErrorNoPermissionsToReadFile);
    EXPECT_FALSE(loader.load(*loader.resolve("%2e%2e/outside.html")));
    EXPECT_FALSE(loader.load(*loader.resolve("file:///etc/passwd")));
    EXPECT_FALSE(loader.load(*loader.resolve("file://otherhost/index.html")));
    EXPECT_FALSE(loader.load(*loader.resolve("data:text/css,p{}"), &error));
    EXPECT_EQ(error.code, NSURLErrorUnsupportedURL);
    EXPECT_FALSE(loader.load(*loader.resolve("absent.css"), &error));
    EXPECT_EQ(error.code, NSURLErrorFileDoesNotExist);
}

TEST(WebResourceLoaderTest, SymbolicLinksOutOfTheFolderAreRefused) {
    TemporaryDirectory folder;
    std::filesystem::create_symlink("/etc", folder.path() + "/etc");
    const WebResourceLoader loader(NSURL::URLWithString("file://" + folder.path() + "/index.html"));
    EXPECT_FALSE(loader.load(*loader.resolve("etc/hostname")));
}
