#include "foundation/UIDevice+PersistentIdentifier.h"

#include "Foundation/NSUUID.h"
#include "Foundation/NSUserDefaults.h"

std::string zel_persistentIdentifier() {
    static constexpr char kKey[] = "ZELPersistentIdentifier";
    const auto defaults = NSUserDefaults::standardUserDefaults();
    if (auto identifier = defaults->stringForKey(kKey)) {
        return *identifier;
    }
    std::string identifier = NSUUID().UUIDString();
    defaults->setObjectForKey(identifier, kKey);
    defaults->synchronize();
    return identifier;
}
