#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "Dispatch/NSRunLoop.h"
#include "FirstScreenSupport.h"
#include "Foundation/NSPathUtilities.h"
#include "UIKit/UINavigationController.h"
#include "UIKit/UIScreen.h"
#include "UIKit/UITableView.h"
#include "UIKit/UIWindow.h"
#include "sdk/feedback/BITAttributedLabel.h"
#include "sdk/feedback/BITFeedbackListViewCell.h"
#include "sdk/feedback/BITFeedbackListViewController.h"
#include "sdk/feedback/BITFeedbackManager.h"

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
    // Links are found in the background.
    NSRunLoop::mainRunLoop()->runUntil([&] { return !label->linkModels().empty(); }, 5);
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
            total += BITFeedbackListViewCell::heightForRowWithMessageTableViewWidth(*message, 320);
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
                BITFeedbackListViewCell::heightForRowWithMessageTableViewWidth(*messages[i], 320);
            cell->setFrame(CGRectMake(0, y, 320, height));
            cell->layoutSubviews();
            y += height;
        }
    }
}
BENCHMARK(BM_FeedbackListFirstScreen)->Unit(benchmark::kMillisecond);

// A manager holding 200 replies, merged as the service sends them (nothing
// is sent: loopback only), in a home of its own made once, since the SDK
// makes its settings folder once.
std::shared_ptr<BITFeedbackManager> threadManager() {
    static const auto manager = [] {
        NSSetApplicationHome(bench::freshHome("feedback-list").string());
        UIScreen::mainScreen()->setBoundsSize({320, 568});
        auto made = std::make_shared<BITFeedbackManager>("0123456789abcdef0123456789abcdef",
                                                         BITAppEnvironmentOther);
        made->setServerURL("http://127.0.0.1:1/");
        Value::Array messages;
        for (int i = 0; i < 200; ++i)
            messages.push_back(Value::Dictionary{{"id", i + 1}, {"text", messageText(i)}});
        const Value response(
            Value::Dictionary{{"status", "success"},
                              {"token", "bench"},
                              {"feedback", Value::Dictionary{{"messages", std::move(messages)}}}});
        made->updateMessageListFromResponse(&response);
        return made;
    }();
    return manager;
}

// The thread screen made and laid out on a phone window.
std::shared_ptr<BITFeedbackListViewController> showList(const std::shared_ptr<UIWindow>& window) {
    auto list = threadManager()->feedbackListViewController(true);
    window->setRootViewController(std::make_shared<UINavigationController>(list));
    window->layoutIfNeeded();
    list->tableView()->layoutIfNeeded();
    return list;
}

void BM_FeedbackListScreenFirstLayout(benchmark::State& state) {
    const auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
    window->makeKeyAndVisible();
    for (auto _ : state)
        benchmark::DoNotOptimize(showList(window)->tableView()->contentSize().height);
    window->setHidden(true);
}
BENCHMARK(BM_FeedbackListScreenFirstLayout)->Unit(benchmark::kMillisecond);

// A refresh of the same screen: the table reloaded over the known thread.
void BM_FeedbackListScreenReload(benchmark::State& state) {
    const auto window = std::make_shared<UIWindow>(CGRectMake(0, 0, 320, 568));
    window->makeKeyAndVisible();
    const auto list = showList(window);
    for (auto _ : state) {
        list->tableView()->reloadData();
        list->tableView()->layoutIfNeeded();
        benchmark::DoNotOptimize(list->tableView()->contentSize().height);
    }
    window->setHidden(true);
}
BENCHMARK(BM_FeedbackListScreenReload)->Unit(benchmark::kMillisecond);

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
