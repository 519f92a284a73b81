#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "sdk/feedback/BITAttributedLabel.h"
#include "sdk/feedback/BITFeedbackListViewCell.h"

// The feedback list's message labels: the row heights of a thread of 200
// messages with links, and finding the link under a touch.
namespace {

std::string messageText(int i) {
    std::string text = "Message " + std::to_string(i) +
                       ": the map of the old town does not load, see https://example.org/issue/" +
                       std::to_string(i) + " and write to help" + std::to_string(i) +
                       "@example.org.";
    for (int line = 0; line < i % 4; ++line)
        text += " It happened again after the update, twice on the same street.";
    return text;
}

std::shared_ptr<BITAttributedLabel> messageLabel(int i) {
    auto label = std::make_shared<BITAttributedLabel>(CGRectMake(0, 0, 288, 400));
    label->setNumberOfLines(0);
    label->setEnabledTextCheckingTypes(NSTextCheckingTypeLink);
    label->setText(messageText(i));
    return label;
}

std::vector<std::shared_ptr<BITFeedbackMessage>> thread() {
    std::vector<std::shared_ptr<BITFeedbackMessage>> messages;
    for (int i = 0; i < 200; ++i) {
        auto message = std::make_shared<BITFeedbackMessage>();
        message->text = messageText(i);
        message->userMessage = i % 2 == 0;
        message->status = BITFeedbackMessageStatusDelivered;
        messages.push_back(std::move(message));
    }
    return messages;
}

void BM_FeedbackListRowHeights(benchmark::State& state) {
    const auto messages = thread();
    for (auto _ : state) {
        CGFloat total = 0;
        for (const auto& message : messages)
            total += BITFeedbackListViewCell::heightForRowWithMessage(*message, 320);
        benchmark::DoNotOptimize(total);
    }
    state.SetItemsProcessed(state.iterations() * 200);
}
BENCHMARK(BM_FeedbackListRowHeights)->Unit(benchmark::kMillisecond);

// The cells of the first screen (568 points), configured and laid out.
void BM_FeedbackListFirstScreen(benchmark::State& state) {
    const auto messages = thread();
    for (auto _ : state) {
        CGFloat y = 0;
        for (size_t i = 0; y < 568 && i < messages.size(); ++i) {
            auto cell = std::make_shared<BITFeedbackListViewCell>("cell");
            cell->setCellStyle(1);
            cell->setMessage(messages[i]);
            const CGFloat height =
                BITFeedbackListViewCell::heightForRowWithMessage(*messages[i], 320);
            cell->setFrame(CGRectMake(0, y, 320, height));
            cell->layoutSubviews();
            y += height;
        }
    }
}
BENCHMARK(BM_FeedbackListFirstScreen)->Unit(benchmark::kMillisecond);

void BM_AttributedLabelLinkHitTest(benchmark::State& state) {
    const auto label = messageLabel(3);
    const CGSize size = label->sizeThatFits(CGSizeMake(288, 10000));
    label->setFrame(CGRectMake(0, 0, 288, size.height));
    int point = 0;
    for (auto _ : state) {
        const CGPoint touch = CGPointMake(static_cast<CGFloat>((point * 37) % 288),
                                          static_cast<CGFloat>((point * 11) % int(size.height)));
        benchmark::DoNotOptimize(label->linkAtPoint(touch));
        ++point;
    }
}
BENCHMARK(BM_AttributedLabelLinkHitTest)->Unit(benchmark::kMicrosecond);

}  // namespace
