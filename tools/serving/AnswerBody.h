#pragma once

#include <httplib.h>

#include <cstddef>
#include <memory>
#include <string>

// The body of an answer that an endpoint makes as it goes out (the HTTP
// library's content provider), pulled a piece at a time as its connection
// drains, so that a connection holds a piece of it and never the whole.
// The provider is asked for the bytes from an offset on, as the library asks
// it; a body of known length is framed by its Content-Length, one of unknown
// length in chunks (packed as the library packs them) or by the connection's
// end. One thread at a time pulls.
class AnswerBody {
  public:
    enum class Framing { Length, Chunked, UntilClosed };

    // Length: the bytes [offset, offset + length) of the provider's content.
    AnswerBody(httplib::ContentProvider provider, Framing framing, size_t offset, size_t length,
               std::unique_ptr<httplib::detail::compressor> compressor,
               httplib::ContentProviderResourceReleaser releaser);
    // Tells the endpoint's releaser whether the body went out whole.
    ~AnswerBody();
    AnswerBody(const AnswerBody&) = delete;
    AnswerBody& operator=(const AnswerBody&) = delete;

    // Appends the next piece, as sent: of a body of known length at most
    // `most` bytes; of the others what the provider writes in one call.
    // False when the provider gave up on the body.
    bool pull(std::string& into, size_t most);
    bool finished() const { return finished_; }

  private:
    // Packs the bytes into a chunk (the last: and the end of the chunks);
    // false when the compressor fails.
    bool appendChunk(std::string& into, const char* data, size_t size, bool last);

    const httplib::ContentProvider provider_;
    const Framing framing_;
    size_t offset_;
    const size_t end_;
    const std::unique_ptr<httplib::detail::compressor> compressor_;
    const httplib::ContentProviderResourceReleaser releaser_;
    bool finished_ = false;
};
