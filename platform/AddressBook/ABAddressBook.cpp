#include "AddressBook/ABAddressBook.h"

#include <filesystem>
#include <fstream>

#include "AddressBook/ABVCard.h"
#include "Foundation/DesktopLauncher.h"
#include "Foundation/NSFolderSetting.h"
#include "Foundation/NSLog.h"
#include "Foundation/NSPathUtilities.h"
#include "Foundation/NSSafeFileName.h"

namespace fs = std::filesystem;

namespace {

NSFolderSetting& cardsFolder() {
    static NSFolderSetting setting;
    return setting;
}

}  // namespace

std::string ABAddressBook::cardsDirectory() {
    return cardsFolder().value(
        [] { return NSSearchPathForDirectory(NSSearchPathDirectory::Documents) + "/Contacts"; });
}

void ABAddressBook::setCardsDirectory(const std::string& directory) {
    cardsFolder().set(directory);
}

std::string ABAddressBook::addPerson(const ABPerson& person, NSError* error) {
    const fs::path folder = cardsDirectory();
    std::error_code code;
    fs::create_directories(folder, code);
    const std::string base = NSSafeFileName(person.displayName(), "Contact");
    fs::path path = folder / (base + ".vcf");
    for (int n = 2; fs::exists(path, code); ++n)
        path = folder / (base + " " + std::to_string(n) + ".vcf");
    const std::string card = ABVCard::representationOfPeople({person});
    std::ofstream out(path, std::ios::binary);
    out << card;
    out.close();
    if (!out) {
        NSError::setCocoaError(error, NSError::NSFileWriteUnknownError,
                               "The contact card could not be written.", path.string());
        NSLogWithLevel(NSLogLevel::Error, "ABAddressBook: cannot write %s", path.c_str());
        return {};
    }
    if (!DesktopLauncher::launch({"xdg-open", path.string()}))
        NSLogWithLevel(NSLogLevel::Warning, "ABAddressBook: could not open %s", path.c_str());
    return path.string();
}
