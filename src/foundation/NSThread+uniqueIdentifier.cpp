#include "foundation/NSThread+uniqueIdentifier.h"

#include "Foundation/NSUUID.h"

std::string uniqueIdentifier(NSThread& thread) {
    static constexpr char kKey[] = "kNSThreadUniqueIdentifier";
    Value::Dictionary& dictionary = thread.threadDictionary();
    auto it = dictionary.find(kKey);
    if (it != dictionary.end()) {
        if (const std::string* identifier = it->second.stringValue()) {
            return *identifier;
        }
    }
    std::string identifier = NSUUID().UUIDString();
    dictionary[kKey] = identifier;
    return identifier;
}

std::string uniqueIdentifier() {
    return uniqueIdentifier(*NSThread::currentThread());
}
