#include "Foundation/NSTextCheckingResult.h"

NSTextCheckingResult NSTextCheckingResult::linkCheckingResultWithRangeURL(NSRange range,
                                                                          std::string url) {
    NSTextCheckingResult result;
    result.resultType = NSTextCheckingTypeLink;
    result.range = range;
    result.URL = std::move(url);
    return result;
}

NSTextCheckingResult NSTextCheckingResult::addressCheckingResultWithRangeComponents(
    NSRange range, Components components) {
    NSTextCheckingResult result;
    result.resultType = NSTextCheckingTypeAddress;
    result.range = range;
    result.addressComponents = std::move(components);
    return result;
}

NSTextCheckingResult NSTextCheckingResult::phoneNumberCheckingResultWithRangePhoneNumber(
    NSRange range, std::string phoneNumber) {
    NSTextCheckingResult result;
    result.resultType = NSTextCheckingTypePhoneNumber;
    result.range = range;
    result.phoneNumber = std::move(phoneNumber);
    return result;
}

NSTextCheckingResult NSTextCheckingResult::dateCheckingResultWithRangeDate(NSRange range,
                                                                           NSDate date) {
    return dateCheckingResultWithRangeDateTimeZoneDuration(range, date, nullptr, 0);
}

NSTextCheckingResult NSTextCheckingResult::dateCheckingResultWithRangeDateTimeZoneDuration(
    NSRange range, NSDate date, std::shared_ptr<NSTimeZone> timeZone, double duration) {
    NSTextCheckingResult result;
    result.resultType = NSTextCheckingTypeDate;
    result.range = range;
    result.date = date;
    result.timeZone = std::move(timeZone);
    result.duration = duration;
    return result;
}

NSTextCheckingResult NSTextCheckingResult::transitInformationCheckingResultWithRangeComponents(
    NSRange range, Components components) {
    NSTextCheckingResult result;
    result.resultType = NSTextCheckingTypeTransitInformation;
    result.range = range;
    result.components = std::move(components);
    return result;
}
