#pragma once

#include <string>
#include <vector>

#include "AddressBook/ABPerson.h"

// Contact cards as vCard 3.0 (RFC 2426) text in UTF-8: CRLF line ends, text
// values with "\", ",", ";" and line breaks escaped, lines longer than 75
// octets folded without splitting a UTF-8 character. Well-known labels become
// TYPE parameters; custom labels ("Google Maps") go into an X-ABLabel of the
// entry's group, as address books read them.
class ABVCard {
  public:
    // ABPersonCreateVCardRepresentationWithPeople.
    static std::string representationOfPeople(const std::vector<ABPerson>& people);

    static std::string escapeText(const std::string& text);
    // Folds one unfolded line (without its CRLF).
    static std::string fold(const std::string& line);
};
