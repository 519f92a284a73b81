#include "wikiguide/ZELWikiGuideLoader.h"

#include <iterator>
#include <vector>

#include "CommonCrypto/CommonDigest.h"
#include "Foundation/NSData+Files.h"
#include "Foundation/NSLog.h"
#include "Foundation/NSPropertyListSerialization.h"

namespace {

// The three stored pieces of the key; guide files are readable only by a
// program with the same pieces as the builder that wrote them.
constexpr uint8_t kPieceOne[21] = {0x4b, 0x65, 0x6c, 0x76, 0x61, 0x72, 0x61, 0x2d, 0x67, 0x75, 0x69,
                                   0x64, 0x65, 0x9e, 0x31, 0xc7, 0x08, 0x5a, 0xe2, 0x17, 0x63};
constexpr uint8_t kPieceTwo[20] = {0xd4, 0x0b, 0x7f, 0x21, 0x96, 0x3c, 0xa8, 0x55, 0x10, 0xee,
                                   0x42, 0x6d, 0xb9, 0x07, 0x38, 0xcf, 0x81, 0x2a, 0x5e, 0xf3};
constexpr uint8_t kPieceThree[22] = {0x77, 0x61, 0x6c, 0x6b, 0x73, 0x1f, 0xa0, 0x4e,
                                     0xc3, 0x92, 0x05, 0x6b, 0xd8, 0x3e, 0x11, 0x7a,
                                     0xe9, 0x54, 0x28, 0xbd, 0x46, 0x0c};

}  // namespace

ZELWikiGuideLoader::Key ZELWikiGuideLoader::guideFileKeyForIdentifier(
    const std::string& identifier) {
    std::vector<uint8_t> buffer;
    buffer.insert(buffer.end(), std::begin(kPieceOne), std::end(kPieceOne));
    buffer.insert(buffer.end(), std::begin(kPieceTwo), std::end(kPieceTwo));
    uint8_t digest[CC_SHA1_DIGEST_LENGTH];
    CC_SHA1(identifier.data(), static_cast<CC_LONG>(identifier.size()), digest);
    buffer.insert(buffer.end(), std::begin(digest), std::end(digest));
    buffer.insert(buffer.end(), std::begin(kPieceThree), std::end(kPieceThree));
    uint8_t inner[CC_SHA1_DIGEST_LENGTH];
    CC_SHA1(buffer.data(), static_cast<CC_LONG>(buffer.size()), inner);
    Key key{};
    CC_SHA1(inner, sizeof inner, key.data());
    return key;
}

void ZELWikiGuideLoader::scramble(Value::Data& bytes, const Key& key) {
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(bytes[i] ^ key[i % key.size()]);
}

std::shared_ptr<ZELWikiGuide> ZELWikiGuideLoader::loadWikiGuideWithIdentifierFromPath(
    const std::optional<std::string>& identifier, const std::string& path) {
    if (!identifier)
        return nullptr;
    auto bytes = dataWithContentsOfFile(path);
    if (!bytes)
        return nullptr;
    scramble(*bytes, guideFileKeyForIdentifier(*identifier));
    const auto plist = NSPropertyListSerialization::propertyListWithData(*bytes);
    if (!plist) {
        NSLogWithLevel(NSLogLevel::Warning, "The guide file %s is no guide of %s", path.c_str(),
                       identifier->c_str());
        return nullptr;
    }
    return ZELJSONObject::createWithJson<ZELWikiGuide>(&*plist);
}

bool ZELWikiGuideLoader::saveWikiGuideWithIdentifierToPath(
    const Value& guide, const std::optional<std::string>& identifier, const std::string& path) {
    if (!identifier)
        return false;
    auto bytes = NSPropertyListSerialization::dataWithPropertyList(
        guide, NSPropertyListSerialization::Format::Binary, nullptr);
    if (!bytes)
        return false;
    scramble(*bytes, guideFileKeyForIdentifier(*identifier));
    return writeDataToFile(*bytes, path, true);
}
