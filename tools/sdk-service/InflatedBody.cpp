#include "InflatedBody.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <vector>

namespace {

// The pieces double from the first to the largest: a body of a few lines
// takes little of the budget, a large one is taken a megabyte at a time.
constexpr size_t kFirstPieceBytes = 64 * 1024;
constexpr size_t kLargestPieceBytes = 1024 * 1024;

struct Piece {
    std::unique_ptr<char[]> bytes;
    size_t size = 0;
};

// The pieces joined into one text; each goes as soon as it is copied, so
// that they and the text are not held in full at once.
std::string join(std::vector<Piece>& pieces, size_t size) {
    std::string joined;
    joined.reserve(size);
    for (Piece& piece : pieces) {
        joined.append(piece.bytes.get(), std::min(piece.size, size - joined.size()));
        piece.bytes.reset();
    }
    return joined;
}

}  // namespace

InflatedBody InflatedBody::inflate(const std::string& body, size_t limit, MemoryClaim& claim) {
    InflatedBody result;
    z_stream stream{};
    // 15 window bits, +32: gzip or zlib header, told apart by the stream.
    if (body.size() > UINT_MAX || inflateInit2(&stream, 15 + 32) != Z_OK)
        return result;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(body.data()));
    stream.avail_in = static_cast<uInt>(body.size());
    std::vector<Piece> pieces;
    size_t room = 0;
    int status = Z_OK;
    while (status == Z_OK) {
        if (stream.avail_out == 0) {
            if (room > limit) {
                result.outcome = Outcome::TooLarge;
                break;
            }
            // Room for one byte past the bound, to tell a body that goes past it.
            const size_t size =
                std::min({std::max(kFirstPieceBytes, room), kLargestPieceBytes, limit + 1 - room});
            if (!claim.grow(size)) {
                result.outcome = Outcome::NoRoom;
                break;
            }
            pieces.push_back({std::make_unique_for_overwrite<char[]>(size), size});
            stream.next_out = reinterpret_cast<Bytef*>(pieces.back().bytes.get());
            stream.avail_out = static_cast<uInt>(size);
            room += size;
        }
        // Without progress (the body ends before the stream does) Z_BUF_ERROR.
        status = ::inflate(&stream, Z_NO_FLUSH);
    }
    const size_t size = room - stream.avail_out;
    if (status == Z_STREAM_END && size > limit)
        result.outcome = Outcome::TooLarge;
    else if (status == Z_STREAM_END && stream.avail_in == 0)
        result = {Outcome::Inflated, join(pieces, size)};
    inflateEnd(&stream);
    return result;
}
