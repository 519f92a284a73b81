#pragma once

#include <string>
#include <vector>

// Labels of multi-value entries. Any other text is a custom label.
inline constexpr const char* kABWorkLabel = "work";
inline constexpr const char* kABHomeLabel = "home";
inline constexpr const char* kABOtherLabel = "other";
inline constexpr const char* kABPersonPhoneMainLabel = "main";
inline constexpr const char* kABPersonPhoneMobileLabel = "mobile";
inline constexpr const char* kABPersonPhoneWorkFAXLabel = "work fax";
inline constexpr const char* kABPersonHomePageLabel = "homepage";

enum class ABPersonKind { Person, Organization };

struct ABLabeledValue {
    std::string label;
    std::string value;
};

struct ABPostalAddress {
    std::string label = kABWorkLabel;
    std::string street, city, state, zip, country;
};

// A contact card: a person or an organisation with its names, labelled
// addresses, phone numbers, e-mail addresses and URLs, and a note.
struct ABPerson {
    ABPersonKind kind = ABPersonKind::Person;
    std::string prefix, firstName, middleName, lastName, suffix, nickname;
    std::string organization, department, jobTitle;
    std::vector<ABPostalAddress> addresses;
    std::vector<ABLabeledValue> phones, emails, urls;
    std::string note;

    // The name a card list shows: the organisation for an organisation, else
    // the person's names (the organisation when there are none).
    std::string displayName() const;
};
