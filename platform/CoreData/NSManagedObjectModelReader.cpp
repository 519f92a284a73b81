#include "CoreData/NSManagedObjectModelReader.h"

#include <cctype>
#include <cstdlib>
#include <sstream>
#include <vector>

#include "CoreData/NSFetchRequest.h"
#include "CoreData/NSManagedObjectModel.h"

namespace {

struct Token {
    std::string key;   // set for key=value
    std::string text;  // the value, or the whole word
};

// Splits a line at white space; double quotes group (with \" and \\ escapes)
// and a '=' outside quotes makes a key=value token.
bool tokenize(const std::string& line, std::vector<Token>* tokens, std::string* reason) {
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r'))
            ++i;
        if (i >= line.size() || line[i] == '#')
            break;
        Token token;
        bool hasKey = false;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') {
            char c = line[i];
            if (c == '"') {
                ++i;
                bool closed = false;
                while (i < line.size()) {
                    if (line[i] == '\\' && i + 1 < line.size()) {
                        token.text += line[i + 1];
                        i += 2;
                    } else if (line[i] == '"') {
                        ++i;
                        closed = true;
                        break;
                    } else {
                        token.text += line[i++];
                    }
                }
                if (!closed) {
                    *reason = "unterminated quote";
                    return false;
                }
            } else if (c == '=' && !hasKey) {
                hasKey = true;
                token.key = token.text;
                token.text.clear();
                ++i;
            } else {
                token.text += c;
                ++i;
            }
        }
        tokens->push_back(std::move(token));
    }
    return true;
}

bool parseDefault(const std::string& text, NSAttributeType type, Value* value) {
    char* end = nullptr;
    switch (type) {
        case NSAttributeType::Integer16:
        case NSAttributeType::Integer32:
        case NSAttributeType::Integer64: {
            long long number = std::strtoll(text.c_str(), &end, 10);
            *value = Value(number);
            return end && *end == '\0' && !text.empty();
        }
        case NSAttributeType::Double:
        case NSAttributeType::Float:
        case NSAttributeType::Date: {
            double number = std::strtod(text.c_str(), &end);
            *value = type == NSAttributeType::Date
                         ? Value(NSDate::dateWithTimeIntervalSinceReferenceDate(number))
                         : Value(number);
            return end && *end == '\0' && !text.empty();
        }
        case NSAttributeType::Boolean:
            if (text == "yes" || text == "true") {
                *value = Value(true);
            } else if (text == "no" || text == "false") {
                *value = Value(false);
            } else {
                return false;
            }
            return true;
        case NSAttributeType::String:
            *value = Value(text);
            return true;
        default:
            return false;
    }
}

bool parseYesNo(const std::string& text, bool* flag) {
    if (text == "yes" || text == "true") {
        *flag = true;
        return true;
    }
    if (text == "no" || text == "false") {
        *flag = false;
        return true;
    }
    return false;
}

bool parseDeleteRule(const std::string& text, NSDeleteRule* rule) {
    if (text == "nullify") {
        *rule = NSDeleteRule::Nullify;
    } else if (text == "cascade") {
        *rule = NSDeleteRule::Cascade;
    } else if (text == "deny") {
        *rule = NSDeleteRule::Deny;
    } else if (text == "noaction") {
        *rule = NSDeleteRule::NoAction;
    } else {
        return false;
    }
    return true;
}

// Names become SQL table and column names: letters, digits and '_' only.
bool isIdentifier(const std::string& name) {
    if (name.empty() || std::isdigit(static_cast<unsigned char>(name[0])))
        return false;
    for (char c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_')
            return false;
    }
    return true;
}

}  // namespace

std::shared_ptr<NSManagedObjectModel> NSManagedObjectModelReader::read(const std::string& text,
                                                                       std::string* reason) {
    auto model = std::make_shared<NSManagedObjectModel>();
    NSEntityDescription* entity = nullptr;
    std::istringstream lines(text);
    std::string line;
    int lineNumber = 0;
    auto fail = [&](const std::string& why) {
        *reason = "line " + std::to_string(lineNumber) + ": " + why;
        return nullptr;
    };
    while (std::getline(lines, line)) {
        ++lineNumber;
        std::vector<Token> tokens;
        std::string why;
        if (!tokenize(line, &tokens, &why))
            return fail(why);
        if (tokens.empty())
            continue;
        const std::string& word = tokens[0].text;
        if (!tokens[0].key.empty())
            return fail("unexpected " + tokens[0].key + "=");
        if (word == "model") {
            if (tokens.size() != 2)
                return fail("model takes a name");
            model->name_ = tokens[1].text;
        } else if (word == "entity") {
            if (tokens.size() < 2 || !tokens[1].key.empty())
                return fail("entity takes a name");
            auto described = std::make_unique<NSEntityDescription>();
            described->name_ = tokens[1].text;
            if (!isIdentifier(described->name_))
                return fail("bad name " + described->name_);
            for (size_t i = 2; i < tokens.size(); ++i) {
                const Token& option = tokens[i];
                if (option.key == "class") {
                    described->className_ = option.text;
                } else if (option.key == "parent") {
                    described->superentityName_ = option.text;
                } else if (option.key.empty() && option.text == "abstract") {
                    described->abstract_ = true;
                } else {
                    return fail("unknown entity option " + option.key + option.text);
                }
            }
            if (model->entitiesByName_.count(described->name_)) {
                return fail("entity " + described->name_ + " declared twice");
            }
            entity = described.get();
            model->entitiesByName_[entity->name_] = entity;
            model->entities_.push_back(std::move(described));
        } else if (word == "attribute") {
            if (!entity)
                return fail("attribute outside an entity");
            if (tokens.size() < 3)
                return fail("attribute takes a name and a type");
            auto attribute = std::make_shared<NSAttributeDescription>();
            attribute->name = tokens[1].text;
            if (!isIdentifier(attribute->name))
                return fail("bad name " + attribute->name);
            if (!NSAttributeTypeFromString(tokens[2].text, &attribute->attributeType)) {
                return fail("unknown attribute type " + tokens[2].text);
            }
            for (size_t i = 3; i < tokens.size(); ++i) {
                const Token& option = tokens[i];
                if (option.key == "optional") {
                    if (!parseYesNo(option.text, &attribute->optional))
                        return fail("optional=yes|no");
                } else if (option.key == "default") {
                    if (!parseDefault(option.text, attribute->attributeType,
                                      &attribute->defaultValue)) {
                        return fail("bad default " + option.text);
                    }
                } else if (option.key == "transformer") {
                    attribute->valueTransformerName = option.text;
                } else if (option.key.empty() && option.text == "transient") {
                    attribute->transient = true;
                } else if (option.key.empty() && option.text == "indexed") {
                    attribute->indexed = true;
                } else {
                    return fail("unknown attribute option " + option.key + option.text);
                }
            }
            entity->ownAttributes_.push_back(std::move(attribute));
        } else if (word == "relationship") {
            if (!entity)
                return fail("relationship outside an entity");
            if (tokens.size() < 4)
                return fail("relationship takes a name, to-one|to-many and a destination");
            auto relationship = std::make_shared<NSRelationshipDescription>();
            relationship->name = tokens[1].text;
            if (!isIdentifier(relationship->name))
                return fail("bad name " + relationship->name);
            if (tokens[2].text == "to-many") {
                relationship->toMany = true;
            } else if (tokens[2].text != "to-one") {
                return fail("relationship kind must be to-one or to-many");
            }
            relationship->destinationEntityName = tokens[3].text;
            for (size_t i = 4; i < tokens.size(); ++i) {
                const Token& option = tokens[i];
                if (option.key == "inverse") {
                    relationship->inverseName = option.text;
                } else if (option.key == "delete") {
                    if (!parseDeleteRule(option.text, &relationship->deleteRule)) {
                        return fail("delete=nullify|cascade|deny|noaction");
                    }
                } else if (option.key == "optional") {
                    if (!parseYesNo(option.text, &relationship->optional)) {
                        return fail("optional=yes|no");
                    }
                } else {
                    return fail("unknown relationship option " + option.key + option.text);
                }
            }
            entity->ownRelationships_.push_back(std::move(relationship));
        } else if (word == "index") {
            if (!entity || tokens.size() < 2)
                return fail("index takes attribute names inside an entity");
            std::vector<std::string> names;
            for (size_t i = 1; i < tokens.size(); ++i)
                names.push_back(tokens[i].text);
            entity->indexes_.push_back(std::move(names));
        } else if (word == "configuration") {
            if (tokens.size() < 2)
                return fail("configuration takes a name");
            std::vector<std::string>& names = model->configurations_[tokens[1].text];
            for (size_t i = 2; i < tokens.size(); ++i)
                names.push_back(tokens[i].text);
        } else if (word == "fetch") {
            if (tokens.size() != 4)
                return fail("fetch takes a name, an entity and a predicate");
            auto request = NSFetchRequest::fetchRequestWithEntityName(tokens[2].text);
            request->predicate = NSPredicate::predicateWithFormat(tokens[3].text);
            if (!request->predicate)
                return fail("bad predicate in fetch " + tokens[1].text);
            model->fetchTemplates_[tokens[1].text] = std::move(request);
        } else {
            return fail("unknown keyword " + word);
        }
    }
    return model;
}
