#include "SharedBytes.h"

#include <algorithm>

namespace {

// What one call of the writer takes of the bytes: a slow reader holds no
// more than this of them in the socket's way at once.
constexpr size_t kPieceBytes = 64 * 1024;

}  // namespace

SharedBytes::SharedBytes(MemoryBudget& budget, std::string bytes, size_t counted)
    : budget_(budget), bytes_(std::move(bytes)), counted_(counted) {}

SharedBytes::~SharedBytes() {
    budget_.give(counted_);
}

SharedBytes::Shared SharedBytes::make(MemoryBudget& budget, size_t size,
                                      const std::function<void(std::string&)>& write) {
    if (!budget.take(size))
        return nullptr;
    std::string bytes;
    bytes.reserve(size);
    write(bytes);
    return std::make_shared<const SharedBytes>(budget, std::move(bytes), size);
}

SharedBytes::Shared SharedBytes::hold(MemoryBudget& budget, std::string bytes) {
    if (!budget.take(bytes.size()))
        return nullptr;
    return adopt(budget, std::move(bytes));
}

SharedBytes::Shared SharedBytes::adopt(MemoryBudget& budget, std::string bytes) {
    const size_t size = bytes.size();
    return std::make_shared<const SharedBytes>(budget, std::move(bytes), size);
}

void answerWith(httplib::Response& response, SharedBytes::Shared bytes,
                const std::string& contentType) {
    if (bytes->bytes().empty()) {
        response.set_content("", contentType);
        return;
    }
    const size_t size = bytes->bytes().size();
    response.set_content_provider(
        size, contentType,
        [bytes = std::move(bytes)](size_t offset, size_t length, httplib::DataSink& sink) {
            return sink.write(bytes->bytes().data() + offset, std::min(length, kPieceBytes));
        });
}
