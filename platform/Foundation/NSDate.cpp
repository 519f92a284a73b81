#include "Foundation/NSDate.h"

#include <chrono>

NSDate NSDate::date() {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return dateWithTimeIntervalSince1970(std::chrono::duration<double>(now).count());
}

NSDate NSDate::dateWithTimeIntervalSinceNow(double seconds) {
    return date().dateByAddingTimeInterval(seconds);
}

double NSDate::timeIntervalSinceNow() const {
    return timeIntervalSinceDate(date());
}
