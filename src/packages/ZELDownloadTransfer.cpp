#include "packages/ZELDownloadTransfer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "CommonCrypto/CommonDigest.h"
#include "Dispatch/DispatchQueue.h"
#include "Foundation/NSLog.h"
#include "Net/NSURLError.h"
#include "packages/ZELDownloadStatus.h"

namespace {

// Tags compare without quotes and case: servers quote entity tags and MD5
// headers differently.
std::string normalizedTag(const std::string& tag) {
    std::string out;
    for (char c : tag) {
        if (c != '"')
            out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return out;
}

bool sameTag(const std::optional<std::string>& a, const std::optional<std::string>& b) {
    return a && b && normalizedTag(*a) == normalizedTag(*b);
}

// "bytes A-B/T": the first byte and the total (nullopt when "*" or absent).
struct ContentRange {
    int64_t first = -1;
    std::optional<int64_t> total;
};

std::optional<ContentRange> parseContentRange(const std::optional<std::string>& header) {
    if (!header)
        return std::nullopt;
    long long first = 0;
    long long last = 0;
    char total[32] = {};
    if (std::sscanf(header->c_str(), "bytes %lld-%lld/%31s", &first, &last, total) != 3 ||
        first < 0 || last < first)
        return std::nullopt;
    ContentRange range;
    range.first = first;
    if (std::strcmp(total, "*") != 0) {
        char* end = nullptr;
        const long long value = std::strtoll(total, &end, 10);
        if (*end != '\0' || value <= last)
            return std::nullopt;
        range.total = value;
    }
    return range;
}

std::string hex(const unsigned char* bytes, size_t length) {
    static const char* digits = "0123456789abcdef";
    std::string text;
    for (size_t i = 0; i < length; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 0xF];
    }
    return text;
}

// Feeds the first `length` bytes of the file (all of it for -1) to the digest.
bool digestFile(int descriptor, int64_t length, CC_MD5_CTX* digest) {
    std::vector<char> buffer(1 << 16);
    int64_t done = 0;
    while (length < 0 || done < length) {
        size_t wanted = buffer.size();
        if (length >= 0)
            wanted = static_cast<size_t>(std::min<int64_t>(length - done, wanted));
        const ssize_t n = ::pread(descriptor, buffer.data(), wanted, done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return length < 0;
        CC_MD5_Update(digest, buffer.data(), static_cast<CC_LONG>(n));
        done += n;
    }
    return true;
}

}  // namespace

ZELDownloadServerTags ZELDownloadServerTags::fromResponse(const NSHTTPURLResponse& response) {
    ZELDownloadServerTags tags;
    tags.md5Hash = response.valueForHTTPHeaderField("X-Amz-Meta-Md5-Hash");
    tags.entityTag = response.valueForHTTPHeaderField("ETag");
    tags.lastModified = response.valueForHTTPHeaderField("Last-Modified");
    // Header names compare without case, so "Etag" and "ETag" are one lookup.
    tags.integrityTag = tags.md5Hash     ? tags.md5Hash
                        : tags.entityTag ? tags.entityTag
                                         : response.valueForHTTPHeaderField("Content-MD5");
    return tags;
}

std::shared_ptr<ZELDownloadTransfer> ZELDownloadTransfer::start(
    ZELDownloadTransferStart start, std::shared_ptr<DispatchQueue> queue, Progress progress,
    Completion completion) {
    auto transfer = std::make_shared<ZELDownloadTransfer>(
        std::move(start), queue, std::move(progress), std::move(completion));
    queue->async([transfer] { transfer->begin(); });
    return transfer;
}

ZELDownloadTransfer::ZELDownloadTransfer(ZELDownloadTransferStart start,
                                         std::shared_ptr<DispatchQueue> queue, Progress progress,
                                         Completion completion)
    : start_(std::move(start)),
      queue_(std::move(queue)),
      progress_(std::move(progress)),
      completion_(std::move(completion)) {}

ZELDownloadTransfer::~ZELDownloadTransfer() {
    if (descriptor_ >= 0)
        ::close(descriptor_);
    unsigned char ignored[CC_MD5_DIGEST_LENGTH];
    if (digest_.context)
        CC_MD5_Final(ignored, &digest_);
}

// The MD5 is taken as the bytes are written, so the finished file needs no
// second read; a resumed file's kept part is read once here.
bool ZELDownloadTransfer::restartDigest() {
    unsigned char ignored[CC_MD5_DIGEST_LENGTH];
    if (digest_.context)
        CC_MD5_Final(ignored, &digest_);
    return CC_MD5_Init(&digest_) && digestFile(descriptor_, offset_, &digest_);
}

void ZELDownloadTransfer::cancel() {
    auto self = shared_from_this();
    queue_->async([self] {
        if (self->finished_)
            return;
        self->finished_ = true;
        if (self->connection_)
            self->connection_->cancel();
        self->connection_.reset();
        if (self->descriptor_ >= 0)
            ::close(self->descriptor_);
        self->descriptor_ = -1;
    });
}

NSError ZELDownloadTransfer::fileError(const std::string& what) const {
    const std::string description = what + " " + start_.path + ": " + std::strerror(errno);
    if (errno == ENOSPC || errno == EDQUOT)
        return ZELDownloadErrorMake(ZELDownloadFailure::NotEnoughSpace, description);
    return NSURLErrorMake(NSURLErrorCannotWriteToFile, description, start_.url);
}

void ZELDownloadTransfer::begin() {
    if (finished_)
        return;
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(start_.path).parent_path(), ignored);
    descriptor_ = ::open(start_.path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    struct stat status {};
    if (descriptor_ < 0 || ::fstat(descriptor_, &status) != 0) {
        finish(fileError("Cannot open"));
        return;
    }
    // Bytes beyond what the queue recorded may be half written; bytes the
    // queue counted but the file lacks were never synced.
    offset_ = std::max<int64_t>(0, std::min<int64_t>(status.st_size, start_.bytesLoaded));
    if (start_.size && offset_ > *start_.size)
        offset_ = 0;
    const bool canResume = offset_ > 0 && start_.tags.integrityTag &&
                           (start_.tags.entityTag || start_.tags.lastModified);
    if (!canResume)
        offset_ = 0;
    if (::ftruncate(descriptor_, offset_) != 0 || !restartDigest()) {
        finish(fileError("Cannot truncate"));
        return;
    }
    written_ = offset_;
    size_ = start_.size;
    tags_ = start_.tags;
    request(canResume);
}

void ZELDownloadTransfer::request(bool resuming) {
    auto url = NSURL::URLWithString(start_.url);
    if (!url) {
        finish(NSURLErrorMake(NSURLErrorBadURL, "Bad download URL", start_.url));
        return;
    }
    NSMutableURLRequest request(*url, NSURLRequestCachePolicy::ReloadIgnoringLocalCacheData);
    if (resuming) {
        request.setValueForHTTPHeaderField("bytes=" + std::to_string(offset_) + "-", "Range");
        request.setValueForHTTPHeaderField(
            start_.tags.entityTag ? start_.tags.entityTag : start_.tags.lastModified, "If-Range");
    }
    accepting_ = false;
    connection_ = NSURLConnection::createWithRequestDelegateStartImmediately(
        request, shared_from_this(), false);
    connection_->setDelegateQueue(queue_);
    connection_->start();
}

void ZELDownloadTransfer::startOver() {
    if (restarted_) {
        finish(NSURLErrorMake(NSURLErrorBadServerResponse,
                              "The server's answers about the file do not agree", start_.url));
        return;
    }
    restarted_ = true;
    if (connection_)
        connection_->cancel();
    offset_ = 0;
    written_ = 0;
    size_.reset();
    if (::ftruncate(descriptor_, 0) != 0 || !restartDigest()) {
        finish(fileError("Cannot truncate"));
        return;
    }
    request(false);
}

void ZELDownloadTransfer::connectionDidReceiveResponse(const std::shared_ptr<NSURLConnection>&,
                                                       const NSHTTPURLResponse& response) {
    if (finished_)
        return;
    const long status = response.statusCode();
    const ZELDownloadServerTags tags = ZELDownloadServerTags::fromResponse(response);
    if (status == 206) {
        const auto range = parseContentRange(response.valueForHTTPHeaderField("Content-Range"));
        const bool sameFile = offset_ == 0 || sameTag(tags.integrityTag, start_.tags.integrityTag);
        if (!range || range->first != offset_ || !range->total || !sameFile) {
            startOver();
            return;
        }
        if (*range->total > start_.maximumSize) {
            refuseOversizedAnswer(*range->total);
            return;
        }
        size_ = range->total;
        tags_ = tags;
        accepting_ = true;
        return;
    }
    if (status == 200) {
        // The whole file, from the start: a changed file or a server that
        // ignores ranges.
        offset_ = 0;
        written_ = 0;
        if (::ftruncate(descriptor_, 0) != 0 || !restartDigest()) {
            finish(fileError("Cannot truncate"));
            return;
        }
        size_ = response.expectedContentLength() >= 0
                    ? std::optional<int64_t>(response.expectedContentLength())
                    : std::nullopt;
        if (size_ && *size_ > start_.maximumSize) {
            refuseOversizedAnswer(*size_);
            return;
        }
        tags_ = tags;
        accepting_ = true;
        return;
    }
    if (status == 416) {
        // Nothing left to send: right only when the file is already whole.
        if (offset_ > 0 && start_.size && *start_.size == offset_) {
            connection_->cancel();
            finish(std::nullopt);
        } else {
            startOver();
        }
        return;
    }
    connection_->cancel();
    finish(NSURLErrorMake(NSURLErrorBadServerResponse,
                          "The server answered with status " + std::to_string(status), start_.url));
}

void ZELDownloadTransfer::connectionDidReceiveData(const std::shared_ptr<NSURLConnection>&,
                                                   const Value::Data& data) {
    if (finished_ || !accepting_)
        return;
    if (static_cast<int64_t>(data.size()) > start_.maximumSize - written_) {
        refuseOversizedAnswer(written_ + static_cast<int64_t>(data.size()));
        return;
    }
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n =
            ::pwrite(descriptor_, data.data() + done, data.size() - done, written_ + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            connection_->cancel();
            finish(fileError("Cannot write"));
            return;
        }
        done += static_cast<size_t>(n);
    }
    CC_MD5_Update(&digest_, data.data(), static_cast<CC_LONG>(data.size()));
    written_ += static_cast<int64_t>(data.size());
    if (size_ && written_ > *size_) {
        connection_->cancel();
        finish(NSURLErrorMake(NSURLErrorBadServerResponse,
                              "The server sent more than the file's size", start_.url));
        return;
    }
    if (progress_)
        progress_(written_, size_, tags_);
}

void ZELDownloadTransfer::connectionDidFailWithError(const std::shared_ptr<NSURLConnection>&,
                                                     const NSError& error) {
    finish(error);
}

void ZELDownloadTransfer::connectionDidFinishLoading(const std::shared_ptr<NSURLConnection>&) {
    if (finished_)
        return;
    if (!size_)
        size_ = written_;
    if (written_ != *size_) {
        finish(NSURLErrorMake(NSURLErrorNetworkConnectionLost,
                              "The connection ended before the whole file arrived", start_.url));
        return;
    }
    finish(std::nullopt);
}

void ZELDownloadTransfer::refuseOversizedAnswer(int64_t size) {
    connection_->cancel();
    finish(ZELDownloadErrorMake(ZELDownloadFailure::TooLarge,
                                "The server sends " + std::to_string(size) +
                                    " bytes or more for a file of at most " +
                                    std::to_string(start_.maximumSize)));
}

std::optional<NSError> ZELDownloadTransfer::verify() {
    if (!tags_.md5Hash)
        return std::nullopt;
    unsigned char md[CC_MD5_DIGEST_LENGTH];
    const bool digested = CC_MD5_Final(md, &digest_);
    if (digested && hex(md, sizeof md) == normalizedTag(*tags_.md5Hash))
        return std::nullopt;
    // A corrupt file is never resumed: the next attempt loads it anew.
    if (::ftruncate(descriptor_, 0) == 0)
        written_ = 0;
    return ZELDownloadErrorMake(ZELDownloadFailure::WrongChecksum,
                                "The file's MD5 does not match the server's X-Amz-Meta-Md5-Hash");
}

void ZELDownloadTransfer::finish(std::optional<NSError> error) {
    if (finished_)
        return;
    finished_ = true;
    connection_.reset();
    // No sync here: a file that lost bytes in a crash is cut to what is on
    // disk when resumed, and its MD5 is checked again before it is unpacked.
    if (!error)
        error = verify();
    if (descriptor_ >= 0)
        ::close(descriptor_);
    descriptor_ = -1;
    ZELDownloadTransferResult result{std::move(error), written_, size_, tags_};
    if (completion_)
        completion_(std::move(result));
    completion_ = nullptr;
    progress_ = nullptr;
}

std::optional<std::string> ZELDownloadTransfer::md5OfFile(const std::string& path) {
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0)
        return std::nullopt;
    CC_MD5_CTX digest;
    const bool read = CC_MD5_Init(&digest) && digestFile(descriptor, -1, &digest);
    ::close(descriptor);
    unsigned char md[CC_MD5_DIGEST_LENGTH];
    if (!CC_MD5_Final(md, &digest) || !read)
        return std::nullopt;
    return hex(md, sizeof md);
}
