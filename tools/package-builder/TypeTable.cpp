#include "TypeTable.h"

#include <cstdio>

#include "Foundation/NSPropertyListSerialization.h"

std::unique_ptr<TypeTable> TypeTable::tableWithContentsOfFile(const std::string& path) {
    auto plist = NSPropertyListSerialization::propertyListWithContentsOfFile(path);
    const Value* types = plist ? plist->get("types") : nullptr;
    if (!types || !types->arrayValue()) {
        std::fprintf(stderr, "package-builder: cannot read the type table %s\n", path.c_str());
        return nullptr;
    }
    auto table = std::make_unique<TypeTable>();
    for (const Value& item : *types->arrayValue()) {
        auto text = [&item](const char* key) {
            const Value* value = item.get(key);
            const std::string* string = value ? value->stringValue() : nullptr;
            return string ? *string : std::string();
        };
        const Value* id = item.get("id");
        const Value* minZoom = item.get("minZoom");
        const Value* fill = item.get("fill");
        if (!id || !id->integerValue())
            continue;
        table->entries_.push_back(
            {*id->integerValue(), text("field"), text("key"), text("value"), text("geometry"),
             static_cast<int>(minZoom ? minZoom->integerValue().value_or(16) : 16),
             fill && fill->boolValue().value_or(false)});
    }
    return table;
}

TypeTable::Codes TypeTable::codesForTags(const OsmTags& tags) const {
    Codes codes;
    for (const Entry& entry : entries_) {
        if (entry.key.empty())
            continue;
        auto tag = tags.find(entry.key);
        if (tag == tags.end() || (entry.value != "*" && entry.value != tag->second))
            continue;
        std::optional<int64_t>* slot = nullptr;
        if (entry.field == "typeID")
            slot = &codes.typeID;
        else if (entry.field == "highwayID")
            slot = &codes.highwayID;
        else if (entry.field == "bikeID")
            slot = &codes.bikeID;
        else if (entry.field == "railwayID")
            slot = &codes.railwayID;
        if (!slot || *slot)
            continue;
        *slot = entry.id;
        codes.minZoom = std::min(codes.minZoom, entry.minZoom);
        if (entry.field == "typeID") {
            codes.area = entry.geometry == "area";
            codes.fill = entry.fill;
            codes.pointOnly = entry.geometry == "point";
        }
    }
    return codes;
}

std::optional<int> TypeTable::minZoomOfType(int64_t code) const {
    for (const Entry& entry : entries_) {
        if (entry.id == code)
            return entry.minZoom;
    }
    return std::nullopt;
}
