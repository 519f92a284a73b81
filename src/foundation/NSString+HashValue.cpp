#include "foundation/NSString+HashValue.h"

#include "foundation/HashValue.h"

std::string sha256String(const std::string& string) {
    return HashValue::sha256HashWithBytes(string.data(), string.size()).description();
}
