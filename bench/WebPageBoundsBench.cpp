// Hostile pages: what building a page costs when its markup asks for far
// more boxes than a page may hold. Each page is built in a child process at
// phone width (parse, style, layout), so that its peak resident memory is
// its own: the time is the child's build, cpu_ms the child's processor time
// (the build's time on a machine with a core to spare), peak_rss_MB the
// child's high-water mark (the markup included).
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>

#include "Foundation/NSLog.h"
#include "UIKit/WebDocument.h"
#include "UIKit/WebResourceLoader.h"

namespace {

// The article of the report: 20,000 rows of 50 cells, 40 MB.
std::string displayTableCells() {
    std::string html = "<html><body><div style=\"display:table\">";
    for (int row = 0; row < 20000; ++row) {
        html += "<div style=\"display:table-row\">";
        for (int cell = 0; cell < 50; ++cell)
            html += "<div style=\"display:table-cell\">" + std::to_string(cell % 10) + "</div>";
        html += "</div>";
    }
    return html + "</div></body></html>";
}

std::string tableRows() {
    std::string html = "<html><body><table>";
    for (int row = 0; row < 20000; ++row) {
        html += "<tr>";
        for (int cell = 0; cell < 20; ++cell)
            html += "<td>" + std::to_string(row) + "</td>";
        html += "</tr>";
    }
    return html + "</table></body></html>";
}

std::string emptyCells() {
    std::string html = "<html><body><table><tr>";
    for (int cell = 0; cell < 100000; ++cell)
        html += "<td></td>";
    return html + "</tr></table></body></html>";
}

// Tables in tables, and display tables inside real tables' cells.
std::string nestedTables() {
    std::string html = "<html><body>";
    for (int outer = 0; outer < 200; ++outer) {
        html += "<table><tr>";
        for (int cell = 0; cell < 20; ++cell) {
            html += "<td><table><tr><td>a</td><td><div style=\"display:table\">";
            for (int inner = 0; inner < 20; ++inner)
                html += "<div style=\"display:table-cell\">b</div>";
            html += "</div></td></tr></table></td>";
        }
        html += "</tr></table>";
    }
    return html + "</body></html>";
}

// 40,000 blocks of two words inside six tables, and under 200 blocks.
std::string contentWithin(const std::string& open, const std::string& close, int levels) {
    std::string html = "<html><body>";
    for (int i = 0; i < levels; ++i)
        html += open;
    for (int i = 0; i < 40000; ++i)
        html += "<div>w w</div>";
    for (int i = 0; i < levels; ++i)
        html += close;
    return html + "</body></html>";
}

std::string contentInSixTables() {
    return contentWithin("<table><tr><td>", "</td></tr></table>", 6);
}

std::string contentUnder200Divs() {
    return contentWithin("<div>", "</div>", 200);
}

// Text alone: 40 MB of long words, which the layout measures in pieces.
std::string longWords() {
    std::string html = "<html><body><p>";
    const std::string word(63, 'w');
    while (html.size() < (size_t{40} << 20))
        html += word + " ";
    return html + "</p></body></html>";
}

// Elements of long attributes: 40 MB of them.
std::string longAttributes() {
    std::string html = "<html><body>";
    const std::string value(40000, 'v');
    while (html.size() < (size_t{40} << 20))
        html += "<span title=\"" + value + "\">x</span>";
    return html + "</body></html>";
}

double secondsOf(const timeval& time) {
    return double(time.tv_sec) + double(time.tv_usec) / 1e6;
}

// Runs build in a child; answers its seconds, the processor seconds of the
// child (the whole of it, a few milliseconds more than the build) and its
// peak resident KiB.
bool measureInChild(const std::function<void()>& build, double& seconds, double& cpuSeconds,
                    long& peakKiB) {
    int channel[2];
    if (pipe(channel) != 0)
        return false;
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        const auto start = std::chrono::steady_clock::now();
        build();
        const double took =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const bool written = write(channel[1], &took, sizeof took) == ssize_t(sizeof took);
        _exit(written ? 0 : 1);
    }
    close(channel[1]);
    const bool read = ::read(channel[0], &seconds, sizeof seconds) == ssize_t(sizeof seconds);
    close(channel[0]);
    int status = 0;
    struct rusage usage {};
    wait4(child, &status, 0, &usage);
    peakKiB = usage.ru_maxrss;
    cpuSeconds = secondsOf(usage.ru_utime) + secondsOf(usage.ru_stime);
    return read && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void buildPage(benchmark::State& state, const std::string& html) {
    NSLogSetSink([](NSLogLevel, const std::string&) {});
    const WebResourceLoader loader(NSURL::URLWithString("file:///nonexistent/page.html"));
    WebDocument::Layout layout;
    layout.width = 320;
    layout.viewport = {320, 568};
    long peak = 0;
    double cpu = 0;
    for (auto _ : state) {
        double seconds = 0, cpuSeconds = 0;
        long kib = 0;
        if (!measureInChild([&] { WebDocument::create(html, loader, layout); }, seconds, cpuSeconds,
                            kib)) {
            state.SkipWithError("the page's build failed");
            break;
        }
        state.SetIterationTime(seconds);
        peak = std::max(peak, kib);
        cpu += cpuSeconds;
    }
    state.counters["cpu_ms"] = cpu * 1000 / double(state.iterations());
    state.counters["peak_rss_MB"] = double(peak) / 1024.0;
    state.counters["markup_MB"] = double(html.size()) / 1e6;
}

using Page = std::string (*)();

void BM_BuildPage(benchmark::State& state, Page page) {
    buildPage(state, page());
}
BENCHMARK_CAPTURE(BM_BuildPage, DisplayTableCells40MB, &displayTableCells)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);
BENCHMARK_CAPTURE(BM_BuildPage, TableOf20000Rows, &tableRows)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);
BENCHMARK_CAPTURE(BM_BuildPage, EmptyCells100000, &emptyCells)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);
BENCHMARK_CAPTURE(BM_BuildPage, NestedTables, &nestedTables)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);
BENCHMARK_CAPTURE(BM_BuildPage, ContentInSixTables, &contentInSixTables)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);
BENCHMARK_CAPTURE(BM_BuildPage, ContentUnder200Divs, &contentUnder200Divs)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);
BENCHMARK_CAPTURE(BM_BuildPage, LongWords40MB, &longWords)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);
BENCHMARK_CAPTURE(BM_BuildPage, LongAttributes40MB, &longAttributes)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);

// A page's build asks its cancellation as it goes: the longest stretch of
// the build between two questions (or after the last, up to its end) is how
// long a page no longer wanted may keep a worker busy.
void longestStretchWithoutACheck(benchmark::State& state, const std::string& html) {
    NSLogSetSink([](NSLogLevel, const std::string&) {});
    const WebResourceLoader loader(NSURL::URLWithString("file:///nonexistent/page.html"));
    WebDocument::Layout layout;
    layout.width = 320;
    layout.viewport = {320, 568};
    using Clock = std::chrono::steady_clock;
    double longest = 0;
    size_t checks = 0;
    for (auto _ : state) {
        auto last = Clock::now();
        auto stretch = [&] {
            const auto now = Clock::now();
            longest =
                std::max(longest, std::chrono::duration<double, std::milli>(now - last).count());
            last = now;
        };
        WebDocument::create(html, loader, layout, [&] {
            stretch();
            ++checks;
            return false;
        });
        stretch();
    }
    state.counters["longest_unchecked_ms"] = longest;
    state.counters["checks"] = double(checks) / double(state.iterations());
}

void BM_StretchWithoutACheck(benchmark::State& state, Page page) {
    longestStretchWithoutACheck(state, page());
}
BENCHMARK_CAPTURE(BM_StretchWithoutACheck, DisplayTableCells40MB, &displayTableCells)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(BM_StretchWithoutACheck, TableOf20000Rows, &tableRows)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace
