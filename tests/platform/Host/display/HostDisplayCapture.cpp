// Looks at an X display as a person would: waits until a window of a title
// is shown and its picture has settled, saves the whole display as a PNG and
// says where the window lies. Exit status 0 when the window is wholly on the
// display and shows more than one colour, 1 when it is not, 2 on bad use or
// when the window never appears.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "CoreGraphics/CGImage.h"
#include "ImageIO/CGImageDestination.h"
#include "ImageIO/CGImageSource.h"

namespace {

struct Frame {
    int width = 0;
    int height = 0;
    // 0xFFRRGGBB words, row after row.
    std::vector<uint32_t> pixels;
};

std::optional<Window> findWindow(Display* display, Window parent, const std::string& title) {
    Window root = 0, parentOfParent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, parent, &root, &parentOfParent, &children, &count)) {
        return std::nullopt;
    }
    std::optional<Window> found;
    for (unsigned i = 0; i < count && !found; ++i) {
        XWindowAttributes attributes;
        char* name = nullptr;
        if (XGetWindowAttributes(display, children[i], &attributes) &&
            attributes.map_state == IsViewable && XFetchName(display, children[i], &name) && name) {
            if (title == name) {
                found = children[i];
            }
            XFree(name);
        }
        if (!found) {
            found = findWindow(display, children[i], title);
        }
    }
    if (children) {
        XFree(children);
    }
    return found;
}

Frame capture(Display* display) {
    const Window root = DefaultRootWindow(display);
    XWindowAttributes attributes;
    XGetWindowAttributes(display, root, &attributes);
    Frame frame{attributes.width, attributes.height, {}};
    XImage* image = XGetImage(display, root, 0, 0, unsigned(frame.width), unsigned(frame.height),
                              AllPlanes, ZPixmap);
    if (!image) {
        return {};
    }
    frame.pixels.resize(size_t(frame.width) * size_t(frame.height));
    for (int y = 0; y < frame.height; ++y) {
        for (int x = 0; x < frame.width; ++x) {
            frame.pixels[size_t(y) * size_t(frame.width) + size_t(x)] =
                uint32_t(XGetPixel(image, x, y)) | 0xFF000000u;
        }
    }
    XDestroyImage(image);
    return frame;
}

bool writePNG(const Frame& frame, const std::string& path) {
    auto image = CGImage::createWithARGB32(
        size_t(frame.width), size_t(frame.height), size_t(frame.width) * 4,
        reinterpret_cast<const uint8_t*>(frame.pixels.data()), true);
    auto destination = CGImageDestination::createWithURL(path, kUTTypePNG);
    if (!image || !destination) {
        return false;
    }
    destination->addImage(image);
    return destination->finalize();
}

int usage() {
    std::fprintf(stderr,
                 "usage: kelvara-display-capture --window TITLE --output FILE.png "
                 "[--timeout SECONDS]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string title, output;
    double timeout = 60;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--window") == 0) {
            title = argv[i + 1];
        } else if (std::strcmp(argv[i], "--output") == 0) {
            output = argv[i + 1];
        } else if (std::strcmp(argv[i], "--timeout") == 0) {
            timeout = std::atof(argv[i + 1]);
        } else {
            return usage();
        }
    }
    if (title.empty() || output.empty() || argc % 2 == 0) {
        return usage();
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "kelvara-display-capture: no display\n");
        return 2;
    }
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::duration<double>(timeout);
    std::optional<Window> window;
    while (!(window = findWindow(display, DefaultRootWindow(display), title))) {
        if (Clock::now() > deadline) {
            std::fprintf(stderr, "kelvara-display-capture: no window \"%s\" was shown\n",
                         title.c_str());
            return 2;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    // The picture has settled when it stays the same for a second.
    Frame frame = capture(display);
    for (int same = 0; same < 4 && Clock::now() < deadline;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        Frame next = capture(display);
        same = next.pixels == frame.pixels ? same + 1 : 0;
        frame = std::move(next);
    }
    XWindowAttributes attributes;
    int x = 0, y = 0;
    Window child = 0;
    if (!XGetWindowAttributes(display, *window, &attributes) ||
        !XTranslateCoordinates(display, *window, DefaultRootWindow(display), 0, 0, &x, &y,
                               &child)) {
        std::fprintf(stderr, "kelvara-display-capture: the window went away\n");
        return 2;
    }
    XCloseDisplay(display);
    if (!writePNG(frame, output)) {
        std::fprintf(stderr, "kelvara-display-capture: cannot write %s\n", output.c_str());
        return 2;
    }
    std::printf("window \"%s\" at %d, %d, %d x %d on a %d x %d display: %s\n", title.c_str(), x, y,
                attributes.width, attributes.height, frame.width, frame.height, output.c_str());
    if (x < 0 || y < 0 || x + attributes.width > frame.width ||
        y + attributes.height > frame.height) {
        std::fprintf(stderr, "kelvara-display-capture: the window is not wholly on the display\n");
        return 1;
    }
    const uint32_t first = frame.pixels[size_t(y) * size_t(frame.width) + size_t(x)];
    for (int row = y; row < y + attributes.height; ++row) {
        for (int column = x; column < x + attributes.width; ++column) {
            if (frame.pixels[size_t(row) * size_t(frame.width) + size_t(column)] != first) {
                return 0;
            }
        }
    }
    std::fprintf(stderr, "kelvara-display-capture: the window shows nothing\n");
    return 1;
}
