#include "XMLCheck.h"

#include <expat.h>

#include <vector>

namespace {

struct State {
    std::map<std::string, std::string>* texts;
    std::vector<std::string> open;
};

}  // namespace

std::string parseXML(const std::string& xml, std::map<std::string, std::string>* texts) {
    State state{texts, {}};
    XML_Parser parser = XML_ParserCreate("UTF-8");
    XML_SetUserData(parser, &state);
    XML_SetElementHandler(
        parser,
        [](void* data, const XML_Char* name, const XML_Char**) {
            static_cast<State*>(data)->open.push_back(name);
        },
        [](void* data, const XML_Char*) { static_cast<State*>(data)->open.pop_back(); });
    XML_SetCharacterDataHandler(parser, [](void* data, const XML_Char* text, int length) {
        auto* state = static_cast<State*>(data);
        if (state->texts && !state->open.empty())
            (*state->texts)[state->open.back()].append(text, static_cast<size_t>(length));
    });
    std::string error;
    if (XML_Parse(parser, xml.data(), static_cast<int>(xml.size()), XML_TRUE) == XML_STATUS_ERROR)
        error = XML_ErrorString(XML_GetErrorCode(parser));
    XML_ParserFree(parser);
    return error;
}
