#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "AddressBook/ABAddressBook.h"
#include "AddressBook/ABVCard.h"
#include "Foundation/DesktopLauncher.h"
#include "platform/Foundation/PythonScript.h"
#include "platform/Foundation/RecordedLaunches.h"
#include "platform/Foundation/TemporaryDirectory.h"

namespace {

// Reads cards with python3-vobject and prints every value, one
// "NAME[label]=value" line each, line breaks as "<NL>".
const char* kReader = R"PY(
import sys, vobject
for card in vobject.readComponents(open(sys.argv[1], encoding='utf-8').read()):
    labels = {}
    for line in card.getChildren():
        if line.name == 'X-ABLABEL':
            labels[line.group] = line.value
    for line in card.getChildren():
        if line.name in ('VERSION', 'X-ABLABEL', 'PRODID'):
            continue
        value = line.value
        if line.name == 'N':
            value = '|'.join([value.family, value.given, value.additional, value.prefix, value.suffix])
        elif line.name == 'ADR':
            value = '|'.join([value.street, value.city, value.region, value.code, value.country])
        elif isinstance(value, list):
            value = '|'.join(value)
        label = labels.get(line.group) or ','.join(line.params.get('TYPE', []))
        print(line.name + '[' + label + ']=' + value.replace('\r\n', '<NL>').replace('\n', '<NL>'))
)PY";

std::string readBack(const std::string& vcf, const std::string& folder) {
    return runPythonScript(kReader, vcf, folder);
}

// Every character vCard text must escape, plus UTF-8 that folding must not split.
const std::string kHard =
    "Caf\xc3\xa9 \"Zum Hafen\"; Bar, Grill\\Deli\nUpstairs: \xe2\x82\xac\xe2\x82\xac";

ABPerson hardPerson() {
    ABPerson person;
    person.kind = ABPersonKind::Organization;
    person.organization = kHard;
    person.department = "Kitchen; night shift";
    person.firstName = "J\xc3\xb6rg";
    person.lastName = "M\xc3\xbcller, jr.";
    person.addresses.push_back({kABWorkLabel,
                                "Hafenstra\xc3\x9f"
                                "e 1;\nHinterhof",
                                "Hamburg", "", "20457", "Germany"});
    person.phones.push_back({kABPersonPhoneMainLabel, "+49 40 123456"});
    person.emails.push_back({kABWorkLabel, "kitchen@example.org"});
    person.urls.push_back({kABPersonHomePageLabel, "https://example.org/menu?a=1,2;b"});
    person.urls.push_back({"Google Maps", "https://maps.example.org/?q=53.5,9.9&z=14"});
    person.note =
        std::string(60, 'x') + "\xe2\x82\xac" + std::string(100, 'y') + "\r\nend, done; ok\\";
    return person;
}

TEST(ABVCardTest, EverySpecialCharacterRoundTrips) {
    TemporaryDirectory folder;
    const std::string card = ABVCard::representationOfPeople({hardPerson()});
    const std::string path = folder.path() + "/card.vcf";
    std::ofstream(path, std::ios::binary) << card;
    const std::string parsed = readBack(path, folder.path());
    auto has = [&](const std::string& line) {
        EXPECT_NE(parsed.find(line + "\n"), std::string::npos) << line << "\n--- in ---\n"
                                                               << parsed;
    };
    std::string hard = kHard;
    hard.replace(hard.find('\n'), 1, "<NL>");
    has("ORG[]=" + hard + "|Kitchen; night shift");
    has("FN[]=" + hard);
    has("N[]=M\xc3\xbcller, jr.|J\xc3\xb6rg|||");
    has("ADR[WORK]=Hafenstra\xc3\x9f"
        "e 1;<NL>Hinterhof|Hamburg||20457|Germany");
    has("TEL[VOICE,MAIN]=+49 40 123456");
    has("EMAIL[INTERNET,WORK]=kitchen@example.org");
    has("URL[]=https://example.org/menu?a=1,2;b");
    has("URL[Google Maps]=https://maps.example.org/?q=53.5,9.9&z=14");
    has("NOTE[]=" + std::string(60, 'x') + "\xe2\x82\xac" + std::string(100, 'y') +
        "<NL>end, done; ok\\");
    has("X-ABSHOWAS[]=COMPANY");
}

TEST(ABVCardTest, LinesFoldAt75OctetsWithoutSplittingCharacters) {
    const std::string card = ABVCard::representationOfPeople({hardPerson()});
    EXPECT_TRUE(card.starts_with("BEGIN:VCARD\r\nVERSION:3.0\r\n"));
    EXPECT_TRUE(card.ends_with("END:VCARD\r\n"));
    size_t start = 0;
    while (start < card.size()) {
        const size_t end = card.find("\r\n", start);
        ASSERT_NE(end, std::string::npos);
        EXPECT_LE(end - start, 75u);
        // A continuation never starts inside a UTF-8 sequence.
        if (card[start] == ' ') {
            EXPECT_NE(static_cast<unsigned char>(card[start + 1]) & 0xC0, 0x80);
        }
        start = end + 2;
    }
    EXPECT_EQ(ABVCard::fold(std::string(75, 'a')), std::string(75, 'a'));
    EXPECT_EQ(ABVCard::fold(std::string(76, 'a')), std::string(75, 'a') + "\r\n a");
}

TEST(ABAddressBookTest, AddingAPersonWritesTheCardAndOpensIt) {
    TemporaryDirectory folder;
    RecordedLaunches launched;
    ABAddressBook::setCardsDirectory(folder.path() + "/Contacts");
    ABPerson person;
    person.kind = ABPersonKind::Organization;
    person.organization = "../../Fish/Market";
    const std::string first = ABAddressBook::addPerson(person);
    const std::string second = ABAddressBook::addPerson(person);
    EXPECT_EQ(std::filesystem::path(first).filename(), "Market.vcf");
    EXPECT_EQ(std::filesystem::path(second).filename(), "Market 2.vcf");
    EXPECT_EQ(std::filesystem::path(first).parent_path(), folder.path() + "/Contacts");
    ASSERT_EQ(launched.size(), 2u);
    EXPECT_EQ(launched[0], (std::vector<std::string>{"xdg-open", first}));

    // A folder that cannot be made: nothing opened, the reason given.
    std::ofstream(folder.path() + "/blocked") << "a file";
    ABAddressBook::setCardsDirectory(folder.path() + "/blocked");
    NSError error;
    EXPECT_EQ(ABAddressBook::addPerson(person, &error), "");
    EXPECT_EQ(error.code, NSError::NSFileWriteUnknownError);
    EXPECT_EQ(launched.size(), 2u);
    ABAddressBook::setCardsDirectory("");
}

}  // namespace
