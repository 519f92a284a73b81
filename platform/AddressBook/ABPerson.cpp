#include "AddressBook/ABPerson.h"

std::string ABPerson::displayName() const {
    if (kind == ABPersonKind::Organization && !organization.empty())
        return organization;
    std::string name;
    for (const std::string* part : {&prefix, &firstName, &middleName, &lastName, &suffix}) {
        if (part->empty())
            continue;
        if (!name.empty())
            name += ' ';
        name += *part;
    }
    return name.empty() ? organization : name;
}
