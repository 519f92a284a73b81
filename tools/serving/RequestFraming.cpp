#include "RequestFraming.h"

#include <algorithm>
#include <cstdint>
#include <optional>

namespace {

char lowered(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool sameName(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return lowered(x) == lowered(y); });
}

std::string_view trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") + 1 - first);
}

// Digits only, within 64 bits.
std::optional<uint64_t> lengthOf(std::string_view text) {
    if (text.empty() || text.size() > 19)
        return std::nullopt;
    uint64_t value = 0;
    for (const char digit : text) {
        if (digit < '0' || digit > '9')
            return std::nullopt;
        value = value * 10 + uint64_t(digit - '0');
    }
    return value;
}

}  // namespace

RequestFraming::RequestFraming(size_t maximumHeadBytes, size_t maximumBodyBytes)
    : maximumHeadBytes_(maximumHeadBytes), maximumBodyBytes_(maximumBodyBytes) {}

RequestFraming::State RequestFraming::update(std::string_view bytes) {
    if (state_ == State::Head) {
        const size_t requestLineEnd = bytes.find('\n');
        if (requestLineEnd == std::string_view::npos) {
            if (bytes.size() > maximumHeadBytes_)
                state_ = State::RequestLineTooLong;
            return state_;
        }
        // A header line that is empty but for its CRLF ends the head.
        const size_t from = std::max(scanned_, requestLineEnd);
        const size_t found = bytes.find("\n\r\n", from);
        if (found == std::string_view::npos || found + 3 > maximumHeadBytes_) {
            scanned_ = std::max(from, bytes.size() - std::min<size_t>(bytes.size(), 2));
            if (bytes.size() > maximumHeadBytes_)
                state_ = State::HeadTooLarge;
            return state_;
        }
        headEnd_ = found + 3;
        readHead(bytes.substr(0, headEnd_));
        state_ = State::Body;
    }
    if (state_ == State::Body && bytes.size() >= end_)
        state_ = State::Whole;
    return state_;
}

void RequestFraming::readHead(std::string_view head) {
    std::optional<uint64_t> length;
    bool unreadableLength = false;
    bool transferEncoding = false;
    bool expect = false;
    size_t start = head.find('\n') + 1;
    while (start < head.size()) {
        const size_t lineEnd = head.find('\n', start);
        std::string_view line = head.substr(start, lineEnd - start);
        start = lineEnd + 1;
        // The library passes over lines that do not end with CRLF.
        if (line.empty() || line.back() != '\r')
            continue;
        line.remove_suffix(1);
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            continue;
        const std::string_view name = line.substr(0, colon);
        const std::string_view value = trimmed(line.substr(colon + 1));
        if (sameName(name, "Content-Length")) {
            const auto parsed = lengthOf(value);
            unreadableLength |= !parsed || (length && *length != *parsed);
            length = parsed;
        } else if (sameName(name, "Transfer-Encoding")) {
            transferEncoding = true;
        } else if (sameName(name, "Expect")) {
            expect = sameName(value, "100-continue");
        }
    }
    if (transferEncoding || unreadableLength || (length && *length > maximumBodyBytes_)) {
        bodyLeftOut_ = true;
        end_ = head.size();
        return;
    }
    end_ = head.size() + length.value_or(0);
    expectsContinue_ = expect && end_ > head.size();
}
