#include <cctype>
#include <cstdlib>
#include <cstring>

#include "CoreData/PredicateNode.h"

namespace {

using Expression = std::shared_ptr<const PredicateExpression>;
using Node = std::shared_ptr<const PredicateNode>;

constexpr int kMaximumDepth = 200;

bool equalsIgnoringCase(const std::string& a, const char* b) {
    size_t length = std::strlen(b);
    if (a.size() != length)
        return false;
    for (size_t i = 0; i < length; ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) != b[i])
            return false;
    }
    return true;
}

class Parser {
  public:
    Parser(const std::string& text, const std::vector<NSPredicateArgument>& arguments)
        : text_(text), arguments_(arguments) {}

    Node parse(std::string* reason) {
        Node node = parseOr();
        skipSpace();
        if (node && pos_ < text_.size())
            fail("unexpected text at " + std::to_string(pos_));
        if (!error_.empty()) {
            *reason = error_;
            return nullptr;
        }
        if (nextArgument_ != arguments_.size()) {
            *reason = "more arguments than placeholders";
            return nullptr;
        }
        return node;
    }

  private:
    template <typename T>
    std::shared_ptr<T> fail(const std::string& why) {
        if (error_.empty())
            error_ = why;
        return nullptr;
    }
    Node fail(const std::string& why) { return fail<const PredicateNode>(why); }

    void skipSpace() {
        while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_])))
            ++pos_;
    }

    bool isIdentifierChar(char c) const {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_' ||
               static_cast<unsigned char>(c) >= 0x80;
    }

    // The next word without consuming it.
    std::string peekWord() {
        skipSpace();
        size_t end = pos_;
        while (end < text_.size() && isIdentifierChar(text_[end]))
            ++end;
        return text_.substr(pos_, end - pos_);
    }

    bool acceptWord(const char* keyword) {
        std::string word = peekWord();
        if (!equalsIgnoringCase(word, keyword))
            return false;
        pos_ += word.size();
        return true;
    }

    bool acceptSymbol(const char* symbol) {
        skipSpace();
        size_t length = std::strlen(symbol);
        if (text_.compare(pos_, length, symbol) != 0)
            return false;
        pos_ += length;
        return true;
    }

    Node parseOr() {
        if (++depth_ > kMaximumDepth)
            return fail("predicate nests too deeply");
        Node left = parseAnd();
        while (left && (acceptWord("OR") || acceptSymbol("||"))) {
            Node right = parseAnd();
            if (!right)
                return nullptr;
            left = combine(PredicateNode::Kind::Or, left, right);
        }
        --depth_;
        return left;
    }

    Node parseAnd() {
        Node left = parseNot();
        while (left && (acceptWord("AND") || acceptSymbol("&&"))) {
            Node right = parseNot();
            if (!right)
                return nullptr;
            left = combine(PredicateNode::Kind::And, left, right);
        }
        return left;
    }

    static Node combine(PredicateNode::Kind kind, const Node& left, const Node& right) {
        auto node = std::make_shared<PredicateNode>();
        node->kind = kind;
        if (left->kind == kind) {
            node->children = left->children;
        } else {
            node->children.push_back(left);
        }
        node->children.push_back(right);
        return node;
    }

    Node parseNot() {
        if (++depth_ > kMaximumDepth)
            return fail("predicate nests too deeply");
        Node result;
        if (acceptWord("NOT") || (peekSymbolNotEqual() && acceptSymbol("!"))) {
            Node inner = parseNot();
            if (!inner)
                return nullptr;
            auto node = std::make_shared<PredicateNode>();
            node->kind = PredicateNode::Kind::Not;
            node->children.push_back(inner);
            result = node;
        } else {
            result = parsePrimary();
        }
        --depth_;
        return result;
    }

    bool peekSymbolNotEqual() {
        skipSpace();
        return pos_ + 1 >= text_.size() || text_[pos_ + 1] != '=';
    }

    Node parsePrimary() {
        skipSpace();
        if (acceptSymbol("(")) {
            Node inner = parseOr();
            if (!inner)
                return nullptr;
            if (!acceptSymbol(")"))
                return fail("missing )");
            return inner;
        }
        if (acceptWord("TRUEPREDICATE"))
            return constantNode(true);
        if (acceptWord("FALSEPREDICATE"))
            return constantNode(false);
        return parseComparison();
    }

    static Node constantNode(bool value) {
        auto node = std::make_shared<PredicateNode>();
        node->kind = value ? PredicateNode::Kind::True : PredicateNode::Kind::False;
        return node;
    }

    Node parseComparison() {
        auto node = std::make_shared<PredicateNode>();
        node->kind = PredicateNode::Kind::Comparison;
        bool negate = false;
        if (acceptWord("ANY") || acceptWord("SOME")) {
            node->modifier = PredicateModifier::Any;
        } else if (acceptWord("ALL")) {
            node->modifier = PredicateModifier::All;
        } else if (acceptWord("NONE")) {
            node->modifier = PredicateModifier::Any;
            negate = true;
        }
        node->lhs = parseExpression();
        if (!node->lhs)
            return fail("expected an expression at " + std::to_string(pos_));
        if (!parseOperator(node.get()))
            return fail("expected an operator at " + std::to_string(pos_));
        node->rhs = parseExpression();
        if (!node->rhs)
            return fail("expected an expression at " + std::to_string(pos_));
        if (node->op == PredicateOperator::Between &&
            !(node->rhs->kind == PredicateExpression::Kind::Aggregate &&
              node->rhs->items.size() == 2) &&
            !(node->rhs->kind == PredicateExpression::Kind::Constant &&
              node->rhs->constant->kind() == NSPredicateArgument::Kind::Array &&
              node->rhs->constant->items().size() == 2)) {
            return fail("BETWEEN needs two bounds");
        }
        // "x IN <key path>" asks whether the collection holds x.
        if (node->op == PredicateOperator::In && node->modifier == PredicateModifier::Direct &&
            node->rhs->kind == PredicateExpression::Kind::KeyPath &&
            node->lhs->kind != PredicateExpression::Kind::KeyPath) {
            std::swap(node->lhs, node->rhs);
            node->op = PredicateOperator::Equal;
            node->modifier = PredicateModifier::Any;
        }
        if (!negate)
            return node;
        auto notNode = std::make_shared<PredicateNode>();
        notNode->kind = PredicateNode::Kind::Not;
        notNode->children.push_back(node);
        return notNode;
    }

    bool parseOperator(PredicateNode* node) {
        skipSpace();
        static const struct {
            const char* symbol;
            PredicateOperator op;
        } symbols[] = {
            {"==", PredicateOperator::Equal},
            {"!=", PredicateOperator::NotEqual},
            {"<>", PredicateOperator::NotEqual},
            {"<=", PredicateOperator::LessOrEqual},
            {"=<", PredicateOperator::LessOrEqual},
            {">=", PredicateOperator::GreaterOrEqual},
            {"=>", PredicateOperator::GreaterOrEqual},
            {"=", PredicateOperator::Equal},
            {"<", PredicateOperator::Less},
            {">", PredicateOperator::Greater},
        };
        bool found = false;
        for (const auto& symbol : symbols) {
            if (acceptSymbol(symbol.symbol)) {
                node->op = symbol.op;
                found = true;
                break;
            }
        }
        if (!found) {
            static const struct {
                const char* word;
                PredicateOperator op;
            } words[] = {
                {"BEGINSWITH", PredicateOperator::BeginsWith},
                {"ENDSWITH", PredicateOperator::EndsWith},
                {"CONTAINS", PredicateOperator::Contains},
                {"LIKE", PredicateOperator::Like},
                {"MATCHES", PredicateOperator::Matches},
                {"IN", PredicateOperator::In},
                {"BETWEEN", PredicateOperator::Between},
            };
            for (const auto& word : words) {
                if (acceptWord(word.word)) {
                    node->op = word.op;
                    found = true;
                    break;
                }
            }
        }
        if (!found)
            return false;
        skipSpace();
        if (acceptSymbol("[")) {
            while (pos_ < text_.size() && text_[pos_] != ']') {
                char c = static_cast<char>(std::tolower(static_cast<unsigned char>(text_[pos_++])));
                if (c == 'c') {
                    node->options |= kPredicateCaseInsensitive;
                } else if (c == 'd') {
                    node->options |= kPredicateDiacriticInsensitive;
                } else if (c != 'n' && c != 'l') {
                    return false;
                }
            }
            if (!acceptSymbol("]"))
                return false;
        }
        return true;
    }

    Expression constantExpression(NSPredicateArgument argument) {
        auto expression = std::make_shared<PredicateExpression>();
        expression->kind = PredicateExpression::Kind::Constant;
        expression->constant = std::make_shared<NSPredicateArgument>(std::move(argument));
        return expression;
    }

    Expression parseExpression() {
        if (++depth_ > kMaximumDepth)
            return fail<const PredicateExpression>("predicate nests too deeply");
        Expression base = parseAtom();
        --depth_;
        if (!base)
            return nullptr;
        // Key path continuation: .name and .@count
        while (true) {
            skipSpace();
            if (pos_ >= text_.size() || text_[pos_] != '.')
                break;
            if (base->kind != PredicateExpression::Kind::KeyPath &&
                base->kind != PredicateExpression::Kind::Variable &&
                base->kind != PredicateExpression::Kind::Subquery) {
                break;
            }
            ++pos_;
            std::string segment;
            if (acceptSymbol("@")) {
                segment = "@" + peekWord();
                pos_ += segment.size() - 1;
                if (segment != "@count")
                    return fail<const PredicateExpression>("only @count is known");
            } else {
                segment = peekWord();
                pos_ += segment.size();
                if (segment.empty())
                    return fail<const PredicateExpression>("empty key");
            }
            auto extended = std::make_shared<PredicateExpression>(*base);
            extended->path.push_back(segment);
            base = extended;
        }
        if (base->kind == PredicateExpression::Kind::Subquery &&
            (base->path.size() != 1 || base->path[0] != "@count")) {
            return fail<const PredicateExpression>("SUBQUERY must be followed by .@count");
        }
        return base;
    }

    Expression parseAtom() {
        skipSpace();
        if (pos_ >= text_.size())
            return nullptr;
        char c = text_[pos_];
        if (c == '\'' || c == '"')
            return parseString(c);
        if (std::isdigit(static_cast<unsigned char>(c)) ||
            ((c == '-' || c == '+') && pos_ + 1 < text_.size() &&
             std::isdigit(static_cast<unsigned char>(text_[pos_ + 1])))) {
            return parseNumber();
        }
        if (c == '%')
            return parsePlaceholder();
        if (c == '$') {
            ++pos_;
            auto expression = std::make_shared<PredicateExpression>();
            expression->kind = PredicateExpression::Kind::Variable;
            expression->variable = peekWord();
            pos_ += expression->variable.size();
            if (expression->variable.empty())
                return fail<const PredicateExpression>("empty variable");
            return expression;
        }
        if (c == '{') {
            ++pos_;
            auto expression = std::make_shared<PredicateExpression>();
            expression->kind = PredicateExpression::Kind::Aggregate;
            if (!acceptSymbol("}")) {
                do {
                    Expression item = parseExpression();
                    if (!item)
                        return nullptr;
                    expression->items.push_back(item);
                } while (acceptSymbol(","));
                if (!acceptSymbol("}"))
                    return fail<const PredicateExpression>("missing }");
            }
            return expression;
        }
        if (c == '#')
            ++pos_;  // escapes a key that is a reserved word
        std::string word = peekWord();
        if (word.empty())
            return nullptr;
        if (c != '#') {
            if (equalsIgnoringCase(word, "SUBQUERY")) {
                pos_ += word.size();
                return parseSubquery();
            }
            if (equalsIgnoringCase(word, "TRUE") || equalsIgnoringCase(word, "YES")) {
                pos_ += word.size();
                return constantExpression(Value(true));
            }
            if (equalsIgnoringCase(word, "FALSE") || equalsIgnoringCase(word, "NO")) {
                pos_ += word.size();
                return constantExpression(Value(false));
            }
            if (equalsIgnoringCase(word, "NIL") || equalsIgnoringCase(word, "NULL")) {
                pos_ += word.size();
                return constantExpression(Value());
            }
        }
        pos_ += word.size();
        auto expression = std::make_shared<PredicateExpression>();
        expression->kind = PredicateExpression::Kind::KeyPath;
        if (!equalsIgnoringCase(word, "SELF"))
            expression->path.push_back(word);
        return expression;
    }

    Expression parseSubquery() {
        if (!acceptSymbol("("))
            return fail<const PredicateExpression>("SUBQUERY needs (");
        auto expression = std::make_shared<PredicateExpression>();
        expression->kind = PredicateExpression::Kind::Subquery;
        expression->collection = parseExpression();
        if (!expression->collection || !acceptSymbol(",") || !acceptSymbol("$")) {
            return fail<const PredicateExpression>("SUBQUERY(collection, $variable, predicate)");
        }
        expression->variable = peekWord();
        pos_ += expression->variable.size();
        if (expression->variable.empty() || !acceptSymbol(",")) {
            return fail<const PredicateExpression>("SUBQUERY(collection, $variable, predicate)");
        }
        expression->subpredicate = parseOr();
        if (!expression->subpredicate || !acceptSymbol(")")) {
            return fail<const PredicateExpression>("SUBQUERY(collection, $variable, predicate)");
        }
        return expression;
    }

    Expression parseString(char quote) {
        ++pos_;
        std::string value;
        while (pos_ < text_.size() && text_[pos_] != quote) {
            char c = text_[pos_++];
            if (c == '\\' && pos_ < text_.size()) {
                char escaped = text_[pos_++];
                value += escaped == 'n' ? '\n' : escaped == 't' ? '\t' : escaped;
            } else {
                value += c;
            }
        }
        if (pos_ >= text_.size())
            return fail<const PredicateExpression>("unterminated string");
        ++pos_;
        return constantExpression(Value(value));
    }

    Expression parseNumber() {
        const char* start = text_.c_str() + pos_;
        char* end = nullptr;
        size_t length = std::strspn(start, "+-0123456789");
        bool real = start[length] == '.' || start[length] == 'e' || start[length] == 'E';
        if (real) {
            double number = std::strtod(start, &end);
            pos_ += static_cast<size_t>(end - start);
            return constantExpression(Value(number));
        }
        long long number = std::strtoll(start, &end, 10);
        pos_ += static_cast<size_t>(end - start);
        return constantExpression(Value(number));
    }

    Expression parsePlaceholder() {
        ++pos_;
        std::string lengthModifier;
        while (pos_ < text_.size() && text_[pos_] != '\0' && std::strchr("lhqz", text_[pos_]) &&
               lengthModifier.size() < 4) {
            lengthModifier += text_[pos_++];
        }
        if (pos_ >= text_.size())
            return fail<const PredicateExpression>("dangling %");
        char conversion = text_[pos_++];
        if (nextArgument_ >= arguments_.size()) {
            return fail<const PredicateExpression>("too few arguments for the format");
        }
        const NSPredicateArgument& argument = arguments_[nextArgument_++];
        switch (conversion) {
            case '@':
                return constantExpression(argument);
            case 'K': {
                const std::string* key = argument.value().stringValue();
                if (argument.kind() != NSPredicateArgument::Kind::Value || !key || key->empty()) {
                    return fail<const PredicateExpression>("%K needs a key path string");
                }
                auto expression = std::make_shared<PredicateExpression>();
                expression->kind = PredicateExpression::Kind::KeyPath;
                size_t start = 0;
                while (start <= key->size()) {
                    size_t dot = key->find('.', start);
                    if (dot == std::string::npos)
                        dot = key->size();
                    expression->path.push_back(key->substr(start, dot - start));
                    start = dot + 1;
                }
                return expression;
            }
            case 'd':
            case 'i':
            case 'u': {
                auto number = argument.value().integerValue();
                if (!number)
                    return fail<const PredicateExpression>("%d needs a number");
                return constantExpression(Value(*number));
            }
            case 'f':
            case 'g':
            case 'e': {
                auto number = argument.value().doubleValue();
                if (!number)
                    return fail<const PredicateExpression>("%f needs a number");
                return constantExpression(Value(*number));
            }
            default:
                return fail<const PredicateExpression>(std::string("unknown placeholder %") +
                                                       conversion);
        }
    }

    const std::string& text_;
    const std::vector<NSPredicateArgument>& arguments_;
    size_t pos_ = 0;
    size_t nextArgument_ = 0;
    int depth_ = 0;
    std::string error_;
};

Expression substituteExpression(const Expression& expression,
                                const NSPredicate::Variables& variables);

Node substituteNode(const Node& node, const NSPredicate::Variables& variables) {
    auto copy = std::make_shared<PredicateNode>(*node);
    for (auto& child : copy->children)
        child = substituteNode(child, variables);
    if (copy->lhs)
        copy->lhs = substituteExpression(copy->lhs, variables);
    if (copy->rhs)
        copy->rhs = substituteExpression(copy->rhs, variables);
    return copy;
}

Expression substituteExpression(const Expression& expression,
                                const NSPredicate::Variables& variables) {
    if (expression->kind == PredicateExpression::Kind::Variable && expression->path.empty()) {
        auto found = variables.find(expression->variable);
        if (found == variables.end())
            return expression;
        auto constant = std::make_shared<PredicateExpression>();
        constant->constant = std::make_shared<NSPredicateArgument>(found->second);
        return constant;
    }
    if (expression->kind == PredicateExpression::Kind::Aggregate) {
        auto copy = std::make_shared<PredicateExpression>(*expression);
        for (auto& item : copy->items)
            item = substituteExpression(item, variables);
        return copy;
    }
    if (expression->kind == PredicateExpression::Kind::Subquery) {
        auto copy = std::make_shared<PredicateExpression>(*expression);
        NSPredicate::Variables inner = variables;
        inner.erase(expression->variable);
        copy->collection = substituteExpression(copy->collection, inner);
        copy->subpredicate = substituteNode(copy->subpredicate, inner);
        return copy;
    }
    return expression;
}

std::string argumentFormat(const NSPredicateArgument& argument) {
    switch (argument.kind()) {
        case NSPredicateArgument::Kind::Object:
        case NSPredicateArgument::Kind::ObjectID:
            return argument.objectID().URIRepresentation();
        case NSPredicateArgument::Kind::Array: {
            std::string text = "{";
            for (size_t i = 0; i < argument.items().size(); ++i) {
                text += (i ? ", " : "") + argumentFormat(argument.items()[i]);
            }
            return text + "}";
        }
        case NSPredicateArgument::Kind::Value:
            break;
    }
    const Value& value = argument.value();
    if (value.isNull())
        return "nil";
    if (const std::string* text = value.stringValue())
        return "\"" + *text + "\"";
    if (auto date = value.dateValue())
        return "CAST(" + std::to_string(date->timeIntervalSinceReferenceDate()) + ", \"NSDate\")";
    if (value.type() == Value::Type::Bool)
        return *value.boolValue() ? "1" : "0";
    if (value.type() == Value::Type::Integer)
        return std::to_string(*value.integerValue());
    if (auto number = value.doubleValue())
        return std::to_string(*number);
    return "<data>";
}

std::string expressionFormat(const PredicateExpression& expression) {
    std::string text;
    switch (expression.kind) {
        case PredicateExpression::Kind::Constant:
            return argumentFormat(*expression.constant);
        case PredicateExpression::Kind::KeyPath:
            if (expression.path.empty())
                return "SELF";
            break;
        case PredicateExpression::Kind::Variable:
            text = "$" + expression.variable;
            break;
        case PredicateExpression::Kind::Aggregate:
            text = "{";
            for (size_t i = 0; i < expression.items.size(); ++i) {
                text += (i ? ", " : "") + expressionFormat(*expression.items[i]);
            }
            return text + "}";
        case PredicateExpression::Kind::Subquery:
            text = "SUBQUERY(" + expressionFormat(*expression.collection) + ", $" +
                   expression.variable + ", " + PredicateFormat(*expression.subpredicate) + ")";
            break;
    }
    for (const std::string& segment : expression.path)
        text += (text.empty() ? "" : ".") + segment;
    return text;
}

const char* operatorFormat(PredicateOperator op) {
    switch (op) {
        case PredicateOperator::Equal:
            return "==";
        case PredicateOperator::NotEqual:
            return "!=";
        case PredicateOperator::Less:
            return "<";
        case PredicateOperator::LessOrEqual:
            return "<=";
        case PredicateOperator::Greater:
            return ">";
        case PredicateOperator::GreaterOrEqual:
            return ">=";
        case PredicateOperator::BeginsWith:
            return "BEGINSWITH";
        case PredicateOperator::EndsWith:
            return "ENDSWITH";
        case PredicateOperator::Contains:
            return "CONTAINS";
        case PredicateOperator::Like:
            return "LIKE";
        case PredicateOperator::Matches:
            return "MATCHES";
        case PredicateOperator::In:
            return "IN";
        case PredicateOperator::Between:
            return "BETWEEN";
    }
    return "?";
}

}  // namespace

std::shared_ptr<const PredicateNode> PredicateParse(
    const std::string& format, const std::vector<NSPredicateArgument>& arguments,
    std::string* reason) {
    return Parser(format, arguments).parse(reason);
}

std::shared_ptr<const PredicateNode> PredicateSubstitute(
    const std::shared_ptr<const PredicateNode>& node, const NSPredicate::Variables& variables) {
    return substituteNode(node, variables);
}

std::string PredicateFormat(const PredicateNode& node) {
    switch (node.kind) {
        case PredicateNode::Kind::True:
            return "TRUEPREDICATE";
        case PredicateNode::Kind::False:
            return "FALSEPREDICATE";
        case PredicateNode::Kind::Not:
            return "NOT " + PredicateFormat(*node.children[0]);
        case PredicateNode::Kind::And:
        case PredicateNode::Kind::Or: {
            std::string text = "(";
            for (size_t i = 0; i < node.children.size(); ++i) {
                if (i)
                    text += node.kind == PredicateNode::Kind::And ? " AND " : " OR ";
                text += PredicateFormat(*node.children[i]);
            }
            return text + ")";
        }
        case PredicateNode::Kind::Comparison:
            break;
    }
    std::string text = node.modifier == PredicateModifier::Any   ? "ANY "
                       : node.modifier == PredicateModifier::All ? "ALL "
                                                                 : "";
    text += expressionFormat(*node.lhs) + " " + operatorFormat(node.op);
    if (node.options) {
        text += "[";
        if (node.options & kPredicateCaseInsensitive)
            text += "c";
        if (node.options & kPredicateDiacriticInsensitive)
            text += "d";
        text += "]";
    }
    return text + " " + expressionFormat(*node.rhs);
}
