// Hostile pages: what building a page costs when its markup asks for far
// more boxes than a page may hold. Each page is built in a child process at
// phone width (parse, style, layout), so that its peak resident memory is
// its own: the time is the child's build, cpu_ms the child's processor time
// (the build's time on a machine with a core to spare), peak_rss_MB the
// child's high-water mark (the markup included), resident_after_MB what
// stays resident once the page is let go.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

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

long residentKiB() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with("VmRSS:"))
            return std::stol(line.substr(6));
    return 0;
}

double secondsOf(const timeval& time) {
    return double(time.tv_sec) + double(time.tv_usec) / 1e6;
}

struct ChildCost {
    double seconds = 0;
    double cpuSeconds = 0;  // the whole child's, a few milliseconds more than the build
    long peakKiB = 0;
    long residentAfterKiB = 0;  // once the build is over and what it made let go
};

// Runs build in a child and answers what it cost.
bool measureInChild(const std::function<void()>& build, ChildCost& cost) {
    int channel[2];
    if (pipe(channel) != 0)
        return false;
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        const auto start = std::chrono::steady_clock::now();
        build();
        const double report[2] = {
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
            double(residentKiB())};
        const bool written = write(channel[1], report, sizeof report) == ssize_t(sizeof report);
        _exit(written ? 0 : 1);
    }
    close(channel[1]);
    double report[2] = {};
    const bool read = ::read(channel[0], report, sizeof report) == ssize_t(sizeof report);
    cost.seconds = report[0];
    cost.residentAfterKiB = long(report[1]);
    close(channel[0]);
    int status = 0;
    struct rusage usage {};
    wait4(child, &status, 0, &usage);
    cost.peakKiB = usage.ru_maxrss;
    cost.cpuSeconds = secondsOf(usage.ru_utime) + secondsOf(usage.ru_stime);
    return read && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Runs build in a child per iteration and reports its costs.
void measure(benchmark::State& state, const std::function<void()>& build) {
    ChildCost worst;
    double cpu = 0;
    for (auto _ : state) {
        ChildCost cost;
        if (!measureInChild(build, cost)) {
            state.SkipWithError("the page's build failed");
            break;
        }
        state.SetIterationTime(cost.seconds);
        cpu += cost.cpuSeconds;
        worst.peakKiB = std::max(worst.peakKiB, cost.peakKiB);
        worst.residentAfterKiB = std::max(worst.residentAfterKiB, cost.residentAfterKiB);
    }
    state.counters["cpu_ms"] = cpu * 1000 / double(std::max<int64_t>(state.iterations(), 1));
    state.counters["peak_rss_MB"] = double(worst.peakKiB) / 1024.0;
    state.counters["resident_after_MB"] = double(worst.residentAfterKiB) / 1024.0;
}

const WebResourceLoader& loader() {
    static const WebResourceLoader made(NSURL::URLWithString("file:///nonexistent/page.html"));
    return made;
}

WebDocument::Layout phoneLayout() {
    WebDocument::Layout layout;
    layout.width = 320;
    layout.viewport = {320, 568};
    return layout;
}

void buildPage(benchmark::State& state, const std::string& html) {
    NSLogSetSink([](NSLogLevel, const std::string&) {});
    measure(state, [&] { WebDocument::create(html, loader(), phoneLayout()); });
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

// The 40 MB article opened five times, each page built on a thread of its
// own and let go, as workers of the global queue do: what stays resident
// once all are gone, against a single page's.
void BM_LargePagesOneAfterAnother(benchmark::State& state) {
    NSLogSetSink([](NSLogLevel, const std::string&) {});
    const std::string html = displayTableCells();
    measure(state, [&] {
        for (int i = 0; i < 5; ++i)
            std::thread([&] { WebDocument::create(html, loader(), phoneLayout()); }).join();
    });
}
BENCHMARK(BM_LargePagesOneAfterAnother)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);

// A page's build asks its cancellation as it goes: the longest stretch of
// the build between two questions (or after the last, up to its end) is how
// long a page no longer wanted may keep a worker busy.
void longestStretchWithoutACheck(benchmark::State& state, const std::string& html) {
    NSLogSetSink([](NSLogLevel, const std::string&) {});
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
        WebDocument::create(html, loader(), phoneLayout(), [&] {
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
