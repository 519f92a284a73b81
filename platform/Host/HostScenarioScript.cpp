#include "Host/HostScenarioScript.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>

namespace {

// Each step's arguments: "N" a number, "T" a quoted text, "W" a word;
// lower case ones are optional.
const std::map<std::string, std::string>& grammar() {
    // One step a line reads as a table.
    // clang-format off
    static const std::map<std::string, std::string> steps = {
        {"tap", "NN|T"},
        {"long-press", "NN|T"},
        {"drag", "NNNNn"},
        {"drag-hold", "NNNNn"},
        {"pinch", "NNN"},
        {"type", "T"},
        {"key", "W"},
        {"wait", "N"},
        {"idle", ""},
        {"screenshot", "W"},
        {"expect", "T"},
        {"expect-not", "T"},
        {"expect-logged", "TN"},
        {"wait-for", "Tn"},
        {"wait-for-not", "Tn"},
        {"dump", ""},
        {"three-finger-tap", "NN"},
        {"two-finger-press", "NN"},
        {"release", ""},
        {"screenshot-key", ""},
    };
    // clang-format on
    return steps;
}

bool isNumber(const std::string& word) {
    char* end = nullptr;
    const double value = std::strtod(word.c_str(), &end);
    return !word.empty() && *end == '\0' && std::isfinite(value);
}

// Splits a line into words; a quoted text is one word (\" and \\ escape).
bool splitWords(const std::string& line, std::vector<std::string>& words, std::vector<bool>& quoted,
                std::string* error) {
    size_t i = 0;
    while (i < line.size()) {
        if (std::isspace(static_cast<unsigned char>(line[i]))) {
            ++i;
            continue;
        }
        std::string word;
        if (line[i] == '"') {
            ++i;
            bool closed = false;
            while (i < line.size()) {
                if (line[i] == '\\' && i + 1 < line.size()) {
                    word += line[i + 1];
                    i += 2;
                } else if (line[i] == '"') {
                    closed = true;
                    ++i;
                    break;
                } else {
                    word += line[i++];
                }
            }
            if (!closed) {
                *error = "a quoted text is not closed";
                return false;
            }
            quoted.push_back(true);
        } else {
            while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) {
                word += line[i++];
            }
            quoted.push_back(false);
        }
        words.push_back(word);
    }
    return true;
}

bool matchesPattern(const std::string& pattern, const std::vector<std::string>& args,
                    const std::vector<bool>& quoted) {
    size_t required = 0;
    for (char c : pattern) {
        required += std::isupper(static_cast<unsigned char>(c)) ? 1 : 0;
    }
    if (args.size() < required || args.size() > pattern.size()) {
        return false;
    }
    for (size_t i = 0; i < args.size(); ++i) {
        const char kind = char(std::toupper(static_cast<unsigned char>(pattern[i])));
        if ((kind == 'N' && (quoted[i] || !isNumber(args[i]))) || (kind == 'T' && !quoted[i])) {
            return false;
        }
    }
    return true;
}

std::string usage(const std::string& verb) {
    static const std::map<std::string, std::string> usages = {
        {"tap", "tap X Y | tap \"Text\""},
        {"long-press", "long-press X Y | long-press \"Text\""},
        {"drag", "drag X1 Y1 X2 Y2 [SECONDS]"},
        {"drag-hold", "drag-hold X1 Y1 X2 Y2 [SECONDS]"},
        {"pinch", "pinch X Y SCALE"},
        {"type", "type \"text\""},
        {"key", "key NAME"},
        {"wait", "wait SECONDS"},
        {"idle", "idle"},
        {"screenshot", "screenshot FILE"},
        {"expect", "expect \"Text\""},
        {"expect-not", "expect-not \"Text\""},
        {"expect-logged", "expect-logged \"Text\" COUNT"},
        {"wait-for", "wait-for \"Text\" [SECONDS]"},
        {"wait-for-not", "wait-for-not \"Text\" [SECONDS]"},
        {"dump", "dump"},
        {"three-finger-tap", "three-finger-tap X Y"},
        {"two-finger-press", "two-finger-press X Y"},
        {"release", "release"},
        {"screenshot-key", "screenshot-key"},
    };
    return usages.at(verb);
}

// Text matches exactly, or as a pattern when it holds * (any run of characters).
}  // namespace

std::optional<std::vector<HostScenarioStep>> HostParseScenario(const std::string& script,
                                                               std::string* error) {
    std::vector<HostScenarioStep> steps;
    std::istringstream lines(script);
    std::string line;
    int number = 0;
    auto fail = [&](const std::string& message) -> std::optional<std::vector<HostScenarioStep>> {
        if (error) {
            *error = "line " + std::to_string(number) + ": " + message + ": " + line;
        }
        return std::nullopt;
    };
    while (std::getline(lines, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') {
            continue;
        }
        HostScenarioStep step;
        step.line = number;
        step.source = line.substr(first);
        std::vector<bool> quoted;
        std::string splitError;
        if (!splitWords(line, step.words, quoted, &splitError)) {
            return fail(splitError);
        }
        const std::string& verb = step.words[0];
        auto rule = grammar().find(verb);
        if (quoted[0] || rule == grammar().end()) {
            return fail(
                "unknown step \"" + verb +
                "\" (steps: tap, long-press, drag, drag-hold, pinch, two-finger-press, release, "
                "type, key, wait, idle, screenshot, expect, expect-not, dump)");
        }
        const std::vector<std::string> args(step.words.begin() + 1, step.words.end());
        const std::vector<bool> argQuoted(quoted.begin() + 1, quoted.end());
        std::istringstream alternatives(rule->second);
        std::string pattern;
        bool ok = false;
        while (!ok && std::getline(alternatives, pattern, '|')) {
            ok = matchesPattern(pattern, args, argQuoted);
        }
        if (!ok && !(rule->second.empty() && args.empty())) {
            return fail("bad arguments, expected " + usage(verb));
        }
        steps.push_back(std::move(step));
    }
    return steps;
}
