#pragma once

#include <string>

#include "AddressBook/ABPerson.h"
#include "Foundation/NSError.h"

// The desktop's address book, reached through files: adding a person writes
// the card as a .vcf file (ABVCard) into the cards folder and opens it with
// xdg-open, so the desktop's contacts program offers to import it.
class ABAddressBook {
  public:
    // <Documents>/Contacts unless set (empty: back to that).
    static std::string cardsDirectory();
    static void setCardsDirectory(const std::string& directory);

    // Writes "<display name>.vcf" (a safe file name; " 2", " 3", ... added
    // when taken) and opens it. Answers the file's path; empty (with the
    // reason in *error) when it could not be written. A card that is written
    // but cannot be opened stays in the folder.
    static std::string addPerson(const ABPerson& person, NSError* error = nullptr);
};
