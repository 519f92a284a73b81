#include "model/CBOpeningHours.h"

#include <array>
#include <cctype>
#include <cstdio>
#include <optional>
#include <utility>

#include "CBGeoData/CBGeoTag.h"
#include "Foundation/NSBundle.h"
#include "model/CBPlaceTexts.h"

namespace {

// The days' localisation keys are the packages' stored abbreviations.
constexpr std::array<const char*, 7> kDayKeys = {"MO.", "TU.", "WE.", "TH.", "FR.", "SA.", "SU."};
constexpr const char* kDash = "\u2013";

struct Token {
    enum Kind {
        Day,
        Month,
        Holiday,
        Time,
        Dash,
        Comma,
        Colon,
        Plus,
        Off,
        Open,
        Always,
        Daily,
        Weekdays
    };
    Token(Kind kind, int value = 0, std::string key = {})
        : kind(kind), value(value), key(std::move(key)) {}
    Kind kind;
    int value;        // the day (0 Monday), month (0 January) or minutes since midnight
    std::string key;  // the holiday's localisation key
};

std::string lowercase(std::string text) {
    for (char& c : text)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// A word of the value as a token; nullopt for a word the reader does not know.
std::optional<Token> wordToken(std::string word) {
    // Stored words are wrapped in x's ("xDAYOFFx"), stored days end in a dot.
    if (word.size() > 2 && word.front() == 'x' && word.back() == 'x')
        word = word.substr(1, word.size() - 2);
    if (!word.empty() && word.back() == '.')
        word.pop_back();
    word = lowercase(word);
    // Some values of the map data name the days in German ("Do", "So").
    static const std::array<std::array<const char*, 3>, 7> days = {{{"mo", "monday", "mo"},
                                                                    {"tu", "tuesday", "di"},
                                                                    {"we", "wednesday", "mi"},
                                                                    {"th", "thursday", "do"},
                                                                    {"fr", "friday", "fr"},
                                                                    {"sa", "saturday", "sa"},
                                                                    {"su", "sunday", "so"}}};
    for (size_t day = 0; day < days.size(); ++day)
        if (word == days[day][0] || word == days[day][1] || word == days[day][2])
            return Token(Token::Day, int(day));
    static const std::array<const char*, 12> months = {"jan", "feb", "mar", "apr", "may", "jun",
                                                       "jul", "aug", "sep", "oct", "nov", "dec"};
    for (size_t month = 0; month < months.size(); ++month)
        if (word == months[month])
            return Token(Token::Month, int(month));
    if (word == "ph" || word == "pubholiday")
        return Token(Token::Holiday, 0, "PUBHOLIDAY");
    if (word == "bankholiday")
        return Token(Token::Holiday, 0, "BANKHOLIDAY");
    if (word == "sh")
        return Token(Token::Holiday, 0, "SCHOOLHOLIDAY");
    if (word == "off" || word == "closed" || word == "dayoff")
        return Token(Token::Off);
    if (word == "open")
        return Token(Token::Open);
    if (word == "daily")
        return Token(Token::Daily);
    if (word == "weekdays")
        return Token(Token::Weekdays, 0);
    if (word == "weekends")
        return Token(Token::Weekdays, 1);
    return std::nullopt;
}

// The tokens of one rule; nullopt when it holds anything the reader does not know.
std::optional<std::vector<Token>> tokenize(const std::string& text) {
    std::vector<Token> tokens;
    size_t i = 0;
    auto digits = [&](size_t most) {
        int number = 0;
        size_t count = 0;
        while (i < text.size() && count < most &&
               std::isdigit(static_cast<unsigned char>(text[i]))) {
            number = number * 10 + (text[i++] - '0');
            ++count;
        }
        return count ? std::optional<int>(number) : std::nullopt;
    };
    while (i < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (std::isspace(c)) {
            ++i;
        } else if (text.compare(i, 4, "24/7") == 0) {
            tokens.push_back(Token(Token::Always));
            i += 4;
        } else if (std::isdigit(c)) {
            const int hours = *digits(2);
            int minutes = 0;
            if (i + 1 < text.size() && (text[i] == ':' || text[i] == '.') &&
                std::isdigit(static_cast<unsigned char>(text[i + 1]))) {
                ++i;
                const size_t start = i;
                const auto read = digits(2);
                if (i - start != 2 || *read > 59)
                    return std::nullopt;
                minutes = *read;
            }
            if (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])))
                return std::nullopt;
            if (hours > 48)
                return std::nullopt;
            tokens.push_back(Token(Token::Time, hours * 60 + minutes));
        } else if (c == '-') {
            tokens.push_back(Token(Token::Dash));
            ++i;
        } else if (text.compare(i, 3, kDash) == 0) {
            tokens.push_back(Token(Token::Dash));
            i += 3;
        } else if (c == ',') {
            tokens.push_back(Token(Token::Comma));
            ++i;
        } else if (c == ':') {
            tokens.push_back(Token(Token::Colon));
            ++i;
        } else if (c == '+') {
            tokens.push_back(Token(Token::Plus));
            ++i;
        } else if (std::isalpha(c)) {
            size_t end = i;
            while (end < text.size() && std::isalpha(static_cast<unsigned char>(text[end])))
                ++end;
            if (end < text.size() && text[end] == '.')
                ++end;
            auto token = wordToken(text.substr(i, end - i));
            if (!token)
                return std::nullopt;
            tokens.push_back(*token);
            i = end;
        } else {
            return std::nullopt;
        }
    }
    return tokens;
}

std::string dayName(int day) {
    return NSLocalizedString(kDayKeys[size_t(day)]);
}

std::string monthName(int month) {
    return NSLocalizedString("MONTH" + std::to_string(month + 1));
}

// Past midnight reads as the clock shows it: 26:00 is 02:00.
std::string clockTime(int minutes) {
    int hours = minutes / 60;
    if (hours > 24)
        hours -= 24;
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d", hours, minutes % 60);
    return text;
}

std::string capitalized(std::string text) {
    if (!text.empty())
        text[0] = char(std::toupper(static_cast<unsigned char>(text[0])));
    return text;
}

class RuleReader {
  public:
    // `first`: the rules open the value.
    RuleReader(std::vector<Token> tokens, bool first) : tokens_(std::move(tokens)), first_(first) {}

    // The rules in words, or nullopt when the tokens do not make rules.
    std::optional<std::vector<std::string>> read() {
        std::vector<std::string> rules;
        while (position_ < tokens_.size()) {
            auto rule = readRule();
            if (!rule)
                return std::nullopt;
            rules.push_back(*rule);
            first_ = false;
            if (position_ == tokens_.size())
                break;
            // A comma before days starts a further rule.
            if (!is(Token::Comma) || !startsDays(position_ + 1))
                return std::nullopt;
            ++position_;
        }
        return rules;
    }

  private:
    bool is(Token::Kind kind, size_t at) const {
        return at < tokens_.size() && tokens_[at].kind == kind;
    }
    bool is(Token::Kind kind) const { return is(kind, position_); }
    bool startsDays(size_t at) const {
        return is(Token::Day, at) || is(Token::Holiday, at) || is(Token::Daily, at) ||
               is(Token::Weekdays, at);
    }

    // A rule of times alone goes on from the rule before it in the
    // packages' values ("Tu 09:00-12:00; 13:00-18:30"); first, it is daily.
    std::optional<std::string> readRule() {
        std::string months;
        if (is(Token::Month)) {
            const int first = tokens_[position_++].value;
            months = monthName(first);
            if (is(Token::Dash) && is(Token::Month, position_ + 1)) {
                months += kDash + monthName(tokens_[position_ + 1].value);
                position_ += 2;
            }
            if (is(Token::Colon))
                ++position_;
        }
        std::vector<std::string> days;
        while (startsDays(position_)) {
            const Token& token = tokens_[position_++];
            if (token.kind == Token::Day) {
                int last = token.value;
                if (is(Token::Dash) && is(Token::Day, position_ + 1)) {
                    last = tokens_[position_ + 1].value;
                    position_ += 2;
                }
                days.push_back(last == token.value ? dayName(last)
                                                   : dayName(token.value) + kDash + dayName(last));
            } else if (token.kind == Token::Holiday) {
                days.push_back(NSLocalizedString(token.key));
            } else if (token.kind == Token::Weekdays) {
                days.push_back(token.value ? dayName(5) + kDash + dayName(6)
                                           : dayName(0) + kDash + dayName(4));
            } else {
                days.push_back(NSLocalizedString("DAILY"));
            }
            if (!is(Token::Comma) || !startsDays(position_ + 1))
                break;
            ++position_;
        }
        if (!days.empty() && is(Token::Colon))
            ++position_;
        std::string when;
        if (is(Token::Always)) {
            ++position_;
            when = NSLocalizedString("OpeningHoursAlwaysOpen");
        } else if (is(Token::Time)) {
            auto times = readTimes();
            if (!times)
                return std::nullopt;
            when = *times;
            if (days.empty() && (first_ || !months.empty()))
                days.push_back(NSLocalizedString("DAILY"));
        } else if (is(Token::Off)) {
            ++position_;
            when = NSLocalizedString("CLOSED");
        } else if (is(Token::Open)) {
            ++position_;
            when = NSLocalizedString("OPEN");
        }
        if (days.empty() && when.empty())
            return std::nullopt;
        std::string text = months.empty() ? "" : months + ": ";
        const std::string daysText = CBListInWords(days);
        text += daysText;
        if (!daysText.empty() && !when.empty())
            text += " ";
        return text + when;
    }

    // "08:00-12:00,13:00-18:00", "17:00", "18:00+".
    std::optional<std::string> readTimes() {
        std::vector<std::string> spans;
        while (is(Token::Time)) {
            const int start = tokens_[position_++].value;
            if (is(Token::Dash) && is(Token::Time, position_ + 1)) {
                const int end = tokens_[position_ + 1].value;
                position_ += 2;
                spans.push_back(clockTime(start) + kDash + clockTime(end));
                if (is(Token::Plus))
                    ++position_;
            } else if (is(Token::Plus)) {
                ++position_;
                spans.push_back(NSLocalizedString("FROM") + " " + clockTime(start));
            } else {
                spans.push_back(clockTime(start));
            }
            if (!is(Token::Comma) || !is(Token::Time, position_ + 1))
                break;
            ++position_;
        }
        return CBListInWords(spans);
    }

    std::vector<Token> tokens_;
    bool first_;
    size_t position_ = 0;
};

// The value's rules as written: split at ";" and at "||".
std::vector<std::string> ruleTexts(const std::string& value) {
    std::vector<std::string> rules;
    std::string current;
    for (size_t i = 0; i < value.size(); ++i) {
        const bool fallback = value.compare(i, 2, "||") == 0;
        if (value[i] == ';' || fallback) {
            rules.push_back(current);
            current.clear();
            i += fallback ? 1 : 0;
        } else {
            current += value[i];
        }
    }
    rules.push_back(current);
    return rules;
}

}  // namespace

std::string CBListInWords(const std::vector<std::string>& items) {
    std::string text;
    for (size_t i = 0; i < items.size(); ++i) {
        if (i > 0)
            text += i + 1 == items.size() ? " " + NSLocalizedString("ListAnd") + " " : ", ";
        text += items[i];
    }
    return text;
}

std::string CBOpeningHours::readableText(const std::string& value) {
    std::vector<std::string> shown;
    for (const std::string& rule : ruleTexts(value)) {
        const std::string text = CBTextWithoutOuterBlanks(rule);
        if (text.empty())
            continue;
        std::optional<std::vector<std::string>> read;
        if (auto tokens = tokenize(text))
            read = RuleReader(std::move(*tokens), shown.empty()).read();
        if (read)
            shown.insert(shown.end(), read->begin(), read->end());
        else
            shown.push_back(CBGeoTag::localizedOpeningHours(text));
    }
    if (shown.empty())
        return value;
    std::string text;
    for (const std::string& rule : shown)
        text += (text.empty() ? "" : ", ") + rule;
    return capitalized(text);
}
