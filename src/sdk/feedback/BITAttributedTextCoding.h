#pragma once

#include <optional>

#include "CoreText/NSAttributedString.h"
#include "Foundation/NSKeyedArchiver.h"
#include "Foundation/NSKeyedUnarchiver.h"
#include "Foundation/NSTextCheckingResult.h"

// Keyed archives of what attributed labels and their links hold: text
// attributes, attributed strings and text checking results. Attribute values
// of types an archive cannot hold (patterns, a caller's own objects) are
// left out. Readers answer nullopt and mark the coder as failed for what
// they cannot read, an unknown kind of link among it.
namespace BITAttributedTextCoding {

NSKeyedArchiver archiveOfAttributes(const CTStringAttributes& attributes);
std::optional<CTStringAttributes> attributesFromArchive(const NSKeyedUnarchiver& coder);

NSKeyedArchiver archiveOfAttributedString(const NSAttributedString& string);
std::optional<NSAttributedString> attributedStringFromArchive(const NSKeyedUnarchiver& coder);

NSKeyedArchiver archiveOfTextCheckingResult(const NSTextCheckingResult& result);
std::optional<NSTextCheckingResult> textCheckingResultFromArchive(const NSKeyedUnarchiver& coder);

// Optional attribute sets under a key, as the label and its links keep them.
void encodeAttributesForKey(NSKeyedArchiver& coder,
                            const std::optional<CTStringAttributes>& attributes,
                            const std::string& key);
std::optional<CTStringAttributes> decodeAttributesForKey(const NSKeyedUnarchiver& coder,
                                                         const std::string& key);

}  // namespace BITAttributedTextCoding
