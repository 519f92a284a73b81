#include "Foundation/NSTimeZone.h"

#include <unicode/ucal.h>
#include <unicode/ustring.h>

#include <cstdio>

#include <cstdlib>
#include <vector>
#include "Foundation/ICUString.h"

namespace {

bool known(const std::string& name) {
    if (name.empty() || name.size() > 64)
        return false;
    std::u16string id = ICUStringFromUTF8(name).value_or(u"");
    UChar canonical[128];
    UBool isSystem = false;
    UErrorCode status = U_ZERO_ERROR;
    ucal_getCanonicalTimeZoneID(id.data(), static_cast<int32_t>(id.size()), canonical, 128,
                                &isSystem, &status);
    return U_SUCCESS(status);
}

}  // namespace

std::shared_ptr<NSTimeZone> NSTimeZone::timeZoneWithName(const std::string& name) {
    if (!known(name))
        return nullptr;
    return std::make_shared<NSTimeZone>(name);
}

std::shared_ptr<NSTimeZone> NSTimeZone::timeZoneForSecondsFromGMT(long seconds) {
    constexpr long kMaximumOffset = 18 * 3600;
    if (seconds < -kMaximumOffset || seconds > kMaximumOffset)
        return nullptr;
    const long magnitude = seconds < 0 ? -seconds : seconds;
    char name[32];
    std::snprintf(name, sizeof name, "GMT%c%02ld%02ld", seconds < 0 ? '-' : '+', magnitude / 3600,
                  magnitude / 60 % 60);
    return std::make_shared<NSTimeZone>(name);
}

std::shared_ptr<NSTimeZone> NSTimeZone::localTimeZone() {
    if (const char* variable = std::getenv("TZ")) {
        std::string name = variable[0] == ':' ? variable + 1 : variable;
        if (auto zone = timeZoneWithName(name))
            return zone;
    }
    UChar id[128];
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = ucal_getHostTimeZone(id, 128, &status);
    if (U_SUCCESS(status) && length > 0 && length < 128) {
        char name[128];
        u_austrncpy(name, id, length);
        name[length] = '\0';
        if (auto zone = timeZoneWithName(name))
            return zone;
    }
    return std::make_shared<NSTimeZone>("GMT");
}

long NSTimeZone::secondsFromGMTForDate(NSDate date) const {
    std::u16string id = ICUStringFromUTF8(name_).value_or(u"");
    UErrorCode status = U_ZERO_ERROR;
    UCalendar* calendar =
        ucal_open(id.data(), static_cast<int32_t>(id.size()), "", UCAL_GREGORIAN, &status);
    if (U_FAILURE(status))
        return 0;
    ucal_setMillis(calendar, date.timeIntervalSince1970() * 1000.0, &status);
    long offset = (ucal_get(calendar, UCAL_ZONE_OFFSET, &status) +
                   ucal_get(calendar, UCAL_DST_OFFSET, &status)) /
                  1000;
    ucal_close(calendar);
    return U_SUCCESS(status) ? offset : 0;
}
