#include "Foundation/NSPropertyListSerialization.h"

#include "Foundation/BinaryPropertyListReader.h"
#include "Foundation/BinaryPropertyListWriter.h"
#include "Foundation/NSData+Files.h"
#include "Foundation/NSLog.h"
#include "Foundation/XMLPropertyListReader.h"
#include "Foundation/XMLPropertyListWriter.h"

// Both forms are read and written by our own code rather than libplist 2.2:
// that version keeps dates as 32-bit seconds (dates after 2069 come back
// wrong) and crashes on malformed input, and a reader that checks every
// offset is no larger than the checks libplist would need in front of it.

namespace {

// Property list files are small settings and resources; anything larger is refused unread.
constexpr size_t kMaximumFileSize = size_t{64} << 20;

}  // namespace

std::optional<Value> NSPropertyListSerialization::propertyListWithData(const Value::Data& data,
                                                                       Format* format,
                                                                       NSError* error) {
    std::string reason;
    std::optional<Value> result;
    const bool binary = BinaryPropertyListReader::looksBinary(data);
    if (binary) {
        result = BinaryPropertyListReader::read(data, &reason);
    } else {
        result = XMLPropertyListReader::read(data, &reason);
    }
    if (!result) {
        NSLogWithLevel(NSLogLevel::Error, "Cannot read property list: %s", reason.c_str());
        NSError::setCocoaError(
            error, NSError::NSPropertyListReadCorruptError,
            "The data couldn't be read because it isn't in the correct format: " + reason);
        return std::nullopt;
    }
    if (format)
        *format = binary ? Format::Binary : Format::XML;
    return result;
}

std::optional<Value::Data> NSPropertyListSerialization::dataWithPropertyList(const Value& plist,
                                                                             Format format,
                                                                             NSError* error) {
    std::string reason;
    std::optional<Value::Data> data = format == Format::Binary
                                          ? BinaryPropertyListWriter::write(plist, &reason)
                                          : XMLPropertyListWriter::write(plist, &reason);
    if (!data) {
        NSLogWithLevel(NSLogLevel::Error, "Cannot write property list: %s", reason.c_str());
        NSError::setCocoaError(error, NSError::NSPropertyListWriteInvalidError,
                               "Invalid property list: " + reason);
    }
    return data;
}

std::optional<Value> NSPropertyListSerialization::propertyListWithContentsOfFile(
    const std::string& path, NSError* error) {
    std::optional<Value::Data> data = dataWithContentsOfFile(path, error, kMaximumFileSize);
    if (!data)
        return std::nullopt;
    std::optional<Value> result = propertyListWithData(*data, nullptr, error);
    if (!result && error)
        error->userInfo[NSError::NSFilePathErrorKey] = path;
    return result;
}

bool NSPropertyListSerialization::writePropertyListToFile(const Value& plist,
                                                          const std::string& path, Format format,
                                                          NSError* error) {
    std::optional<Value::Data> data = dataWithPropertyList(plist, format, error);
    return data && writeDataToFile(*data, path, true, error);
}
