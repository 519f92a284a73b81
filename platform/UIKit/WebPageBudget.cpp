#include "UIKit/WebPageBudget.h"

#include <algorithm>

#include "Dispatch/DispatchQueue.h"
#include "Foundation/NSLog.h"
#include "UIKit/WebTextBoxes.h"

namespace {

// Whether `count` more fit into `taken` of `bound`.
bool fits(size_t taken, size_t count, size_t bound) {
    return taken <= bound && count <= bound - taken;
}

}  // namespace

WebPageBudget::WebPageBudget(Cancellation cancelled, Bounds bounds)
    : cancelled_(std::move(cancelled)), bounds_(bounds) {}

WebPageBudget::Tally WebPageBudget::noteTally() {
    Tally tally{1, 0, 0, 0};
    WebForEachTextBox(kCutNote, [&](std::string_view box, bool) {
        ++tally.textBoxes;
        tally.textBytes += box.size();
        return true;
    });
    return tally;
}

bool WebPageBudget::stopped() {
    if (!stopped_)
        stopped_ = DispatchQueue::isEnding() || (cancelled_ && cancelled_());
    return stopped_;
}

bool WebPageBudget::takeElements(Tally& tally, size_t count, size_t attributeBytes, size_t depth) {
    if (!fits(tally.elements, count, bounds_.elements)) {
        cut("more than " + std::to_string(bounds_.elements) +
                " elements: the rest of the page is left out",
            true);
        return false;
    }
    if (!fits(tally.attributeBytes, attributeBytes, bounds_.attributeBytes)) {
        cut("more than " + std::to_string(bounds_.attributeBytes) +
                " bytes of attributes: the rest of the page is left out",
            true);
        return false;
    }
    const size_t depthWork =
        depth > 0 && count > bounds_.depthWork / depth ? bounds_.depthWork + 1 : count * depth;
    if (!fits(tally.depthWork, depthWork, bounds_.depthWork)) {
        cut(depthCut(), true);
        return false;
    }
    tally.elements += count;
    tally.attributeBytes += attributeBytes;
    tally.depthWork += depthWork;
    return true;
}

size_t WebPageBudget::takeText(Tally& tally, std::string_view text, size_t depth) {
    size_t covered = 0;
    bool whole = true;
    bool deep = false;
    WebForEachTextBox(text, [&](std::string_view box, bool) {
        deep = !fits(tally.depthWork, depth, bounds_.depthWork);
        whole = !deep && fits(tally.textBoxes, 1, bounds_.textBoxes) &&
                fits(tally.textBytes, box.size(), bounds_.textBytes);
        if (!whole)
            return false;
        ++tally.textBoxes;
        tally.textBytes += box.size();
        tally.depthWork += depth;
        covered = size_t(box.data() + box.size() - text.data());
        return true;
    });
    if (deep)
        cut(depthCut(), true);
    else if (!whole)
        cut("more than " + std::to_string(bounds_.textBoxes) + " words and spaces or " +
                std::to_string(bounds_.textBytes) +
                " bytes of text: the rest of the page is left out",
            true);
    return whole ? text.size() : covered;
}

std::string WebPageBudget::depthCut() const {
    return "boxes whose depths add up to more than " + std::to_string(bounds_.depthWork) +
           ": the rest of the page is left out";
}

void WebPageBudget::cut(std::string_view what, bool leavesContentOut) {
    if (std::find(cuts_.begin(), cuts_.end(), what) == cuts_.end())
        cuts_.emplace_back(what);
    leftContentOut_ = leftContentOut_ || leavesContentOut;
}

std::string WebPageBudget::cutDescription() const {
    std::string line;
    for (const std::string& what : cuts_)
        line += (line.empty() ? "the page is too large: " : "; ") + what;
    return line;
}

void WebPageBudget::logCut() {
    if (cuts_.empty() || logged_)
        return;
    logged_ = true;
    NSLogWithLevel(NSLogLevel::Warning, "UIWebView: %s", cutDescription().c_str());
}
