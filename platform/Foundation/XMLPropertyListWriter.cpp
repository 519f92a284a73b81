#include "Foundation/XMLPropertyListWriter.h"

#include <cmath>
#include <cstdio>

#include "Foundation/PropertyListText.h"

std::optional<Value::Data> XMLPropertyListWriter::write(const Value& plist, std::string* reason) {
    XMLPropertyListWriter writer;
    writer.out_ = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n";
    if (!writer.writeValue(plist, 0)) {
        if (reason)
            *reason = writer.reason_;
        return std::nullopt;
    }
    writer.out_ += "</plist>\n";
    return Value::Data(writer.out_.begin(), writer.out_.end());
}

void XMLPropertyListWriter::indent(size_t depth) {
    out_.append(depth, '\t');
}

void XMLPropertyListWriter::writeEscaped(const std::string& text) {
    for (char c : text) {
        switch (c) {
            case '&':
                out_ += "&amp;";
                break;
            case '<':
                out_ += "&lt;";
                break;
            case '>':
                out_ += "&gt;";
                break;
            case '\r':
                // XML readers turn a raw carriage return into a line feed.
                out_ += "&#13;";
                break;
            default:
                out_ += c;
        }
    }
}

bool XMLPropertyListWriter::writeValue(const Value& value, size_t depth) {
    if (depth > kMaximumDepth) {
        reason_ = "nested too deeply";
        return false;
    }
    indent(depth);
    switch (value.type()) {
        case Value::Type::Null:
            reason_ = "a property list cannot hold null";
            return false;
        case Value::Type::Bool:
            out_ += *value.boolValue() ? "<true/>\n" : "<false/>\n";
            return true;
        case Value::Type::Integer:
            out_ += "<integer>" + std::to_string(*value.integerValue()) + "</integer>\n";
            return true;
        case Value::Type::Real: {
            const double real = *value.doubleValue();
            char buffer[40];
            if (std::isnan(real)) {
                std::snprintf(buffer, sizeof buffer, "nan");
            } else if (std::isinf(real)) {
                std::snprintf(buffer, sizeof buffer, real > 0 ? "+infinity" : "-infinity");
            } else {
                std::snprintf(buffer, sizeof buffer, "%.17g", real);
            }
            out_ += std::string("<real>") + buffer + "</real>\n";
            return true;
        }
        case Value::Type::String:
            out_ += "<string>";
            writeEscaped(*value.stringValue());
            out_ += "</string>\n";
            return true;
        case Value::Type::Data:
            out_ += "<data>" + PropertyListText::encodeBase64(*value.dataValue()) + "</data>\n";
            return true;
        case Value::Type::Date:
            out_ += "<date>" + PropertyListText::formatISO8601(*value.dateValue()) + "</date>\n";
            return true;
        case Value::Type::Array:
            if (value.arrayValue()->empty()) {
                out_ += "<array/>\n";
                return true;
            }
            out_ += "<array>\n";
            for (const Value& element : *value.arrayValue()) {
                if (!writeValue(element, depth + 1))
                    return false;
            }
            indent(depth);
            out_ += "</array>\n";
            return true;
        case Value::Type::Dictionary:
            if (value.dictionaryValue()->empty()) {
                out_ += "<dict/>\n";
                return true;
            }
            out_ += "<dict>\n";
            for (const auto& [key, element] : *value.dictionaryValue()) {
                indent(depth + 1);
                out_ += "<key>";
                writeEscaped(key);
                out_ += "</key>\n";
                if (!writeValue(element, depth + 1))
                    return false;
            }
            indent(depth);
            out_ += "</dict>\n";
            return true;
    }
    return false;
}
