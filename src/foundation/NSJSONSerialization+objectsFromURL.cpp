#include "foundation/NSJSONSerialization+objectsFromURL.h"

#include "Foundation/NSData+Files.h"
#include "Foundation/NSJSONSerialization.h"

std::optional<Value> jsonObjectWithDataClassError(const Value::Data* data, Value::Type type,
                                                  NSError* error) {
    if (!data)
        return std::nullopt;
    auto object = NSJSONSerialization::JSONObjectWithData(*data, error);
    if (!object || object->type() != type)
        return std::nullopt;
    return object;
}

std::optional<Value> jsonObjectWithContentsOfURLClassError(const std::string* url, Value::Type type,
                                                           NSError* error) {
    if (!url)
        return std::nullopt;
    std::string path = *url;
    if (path.starts_with("file://"))
        path.erase(0, 7);
    const auto data = dataWithContentsOfFile(path, error);
    if (!data || data->empty())
        return std::nullopt;
    return jsonObjectWithDataClassError(&*data, type, error);
}

std::optional<Value> jsonDictionaryWithData(const Value::Data* data, NSError* error) {
    return jsonObjectWithDataClassError(data, Value::Type::Dictionary, error);
}

std::optional<Value> jsonArrayWithData(const Value::Data* data, NSError* error) {
    return jsonObjectWithDataClassError(data, Value::Type::Array, error);
}

std::optional<Value> jsonDictionaryWithContentsOfURL(const std::string* url, NSError* error) {
    return jsonObjectWithContentsOfURLClassError(url, Value::Type::Dictionary, error);
}

std::optional<Value> jsonArrayWithContentsOfURL(const std::string* url, NSError* error) {
    return jsonObjectWithContentsOfURLClassError(url, Value::Type::Array, error);
}
