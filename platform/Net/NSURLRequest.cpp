#include "Net/NSURLRequest.h"

#include <strings.h>

bool NSHTTPHeaderNameLess::operator()(const std::string& a, const std::string& b) const {
    return strcasecmp(a.c_str(), b.c_str()) < 0;
}

NSURLRequest::NSURLRequest(NSURL url, NSURLRequestCachePolicy cachePolicy, double timeoutInterval)
    : url_(std::move(url)), timeout_(timeoutInterval), cachePolicy_(cachePolicy) {}

std::optional<std::string> NSURLRequest::valueForHTTPHeaderField(const std::string& field) const {
    const auto found = headers_.find(field);
    if (found == headers_.end())
        return std::nullopt;
    return found->second;
}

void NSMutableURLRequest::setValueForHTTPHeaderField(std::optional<std::string> value,
                                                     const std::string& field) {
    if (!value) {
        headers_.erase(field);
        return;
    }
    headers_.insert_or_assign(field, std::move(*value));
}

void NSMutableURLRequest::addValueForHTTPHeaderField(const std::string& value,
                                                     const std::string& field) {
    const auto [entry, inserted] = headers_.try_emplace(field, value);
    if (!inserted)
        entry->second += "," + value;
}
