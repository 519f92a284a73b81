#include "OpeningHours.h"

#include <cctype>
#include <map>

std::string storedOpeningHours(const std::string& value) {
    static const std::map<std::string, std::string> tokens = {
        {"Mo", "MO."},        {"Tu", "TU."},          {"We", "WE."},      {"Th", "TH."},
        {"Fr", "FR."},        {"Sa", "SA."},          {"Su", "SU."},      {"PH", "xPUBHOLIDAYx"},
        {"off", "xDAYOFFx"},  {"closed", "xCLOSEDx"}, {"open", "xOPENx"}, {"except", "xEXCEPTx"},
        {"daily", "xDAILYx"}, {"to", "xTOx"},         {"from", "xFROMx"},
    };
    std::string result;
    size_t i = 0;
    while (i < value.size()) {
        if (!std::isalpha(static_cast<unsigned char>(value[i]))) {
            result += value[i++];
            continue;
        }
        size_t end = i;
        while (end < value.size() && std::isalpha(static_cast<unsigned char>(value[end])))
            ++end;
        std::string word = value.substr(i, end - i);
        auto token = tokens.find(word);
        result += token != tokens.end() ? token->second : word;
        i = end;
    }
    return result;
}
