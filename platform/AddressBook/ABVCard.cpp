#include "AddressBook/ABVCard.h"

#include <algorithm>
#include <cctype>
#include <optional>

namespace {

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

// The TYPE parameter values of a well-known label; nullopt for custom ones.
std::optional<std::string> typesOf(const std::string& label, const std::string& base) {
    const std::string l = lower(label);
    std::string types = base;
    auto add = [&types](const char* type) {
        if (!types.empty())
            types += ',';
        types += type;
    };
    if (l == kABWorkLabel)
        add("WORK");
    else if (l == kABHomeLabel)
        add("HOME");
    else if (l == kABPersonPhoneMainLabel)
        add("MAIN");
    else if (l == kABPersonPhoneMobileLabel)
        add("CELL");
    else if (l == kABPersonPhoneWorkFAXLabel)
        add("WORK,FAX");
    else if (l == kABPersonHomePageLabel || l == kABOtherLabel || l.empty())
        ;
    else
        return std::nullopt;
    return types;
}

class CardWriter {
  public:
    void line(const std::string& name, const std::string& value) {
        out_ += ABVCard::fold(name + ":" + value) + "\r\n";
    }
    // A multi-value entry: TYPE parameters for well-known labels, a group
    // with its own label for custom ones.
    void labelled(const std::string& name, const std::string& label, const std::string& base,
                  const std::string& value) {
        const auto types = typesOf(label, base);
        if (!types) {
            const std::string group = "item" + std::to_string(++groups_);
            line(group + "." + name + (base.empty() ? "" : ";TYPE=" + base), value);
            line(group + ".X-ABLabel", ABVCard::escapeText(label));
        } else {
            line(name + (types->empty() ? "" : ";TYPE=" + *types), value);
        }
    }
    std::string take() { return std::move(out_); }

  private:
    std::string out_;
    int groups_ = 0;
};

std::string joined(std::initializer_list<const std::string*> parts) {
    std::string out;
    bool first = true;
    for (const auto* part : parts) {
        if (!first)
            out += ';';
        first = false;
        out += ABVCard::escapeText(*part);
    }
    return out;
}

}  // namespace

std::string ABVCard::escapeText(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\' || c == ',' || c == ';') {
            out += '\\';
            out += c;
        } else if (c == '\r') {
            out += "\\n";
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out;
}

std::string ABVCard::fold(const std::string& line) {
    std::string out;
    size_t start = 0;
    size_t limit = 75;  // octets of the first line; continuations carry a space
    while (line.size() - start > limit) {
        size_t end = start + limit;
        while (end > start + 1 && (static_cast<unsigned char>(line[end]) & 0xC0) == 0x80)
            --end;
        out += line.substr(start, end - start) + "\r\n ";
        start = end;
        limit = 74;
    }
    return out + line.substr(start);
}

std::string ABVCard::representationOfPeople(const std::vector<ABPerson>& people) {
    std::string out;
    for (const auto& person : people) {
        CardWriter card;
        card.line("BEGIN", "VCARD");
        card.line("VERSION", "3.0");
        card.line("N", joined({&person.lastName, &person.firstName, &person.middleName,
                               &person.prefix, &person.suffix}));
        card.line("FN", escapeText(person.displayName()));
        if (!person.nickname.empty())
            card.line("NICKNAME", escapeText(person.nickname));
        if (!person.organization.empty() || !person.department.empty())
            card.line("ORG", joined({&person.organization, &person.department}));
        if (!person.jobTitle.empty())
            card.line("TITLE", escapeText(person.jobTitle));
        const std::string empty;
        for (const auto& a : person.addresses)
            card.labelled(
                "ADR", a.label, "",
                joined({&empty, &empty, &a.street, &a.city, &a.state, &a.zip, &a.country}));
        for (const auto& phone : person.phones)
            card.labelled("TEL", phone.label, "VOICE", escapeText(phone.value));
        for (const auto& email : person.emails)
            card.labelled("EMAIL", email.label, "INTERNET", escapeText(email.value));
        for (const auto& url : person.urls)
            card.labelled("URL", url.label, "", escapeText(url.value));
        if (!person.note.empty())
            card.line("NOTE", escapeText(person.note));
        if (person.kind == ABPersonKind::Organization)
            card.line("X-ABShowAs", "COMPANY");
        card.line("END", "VCARD");
        out += card.take();
    }
    return out;
}
