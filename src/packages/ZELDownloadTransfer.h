#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "CommonCrypto/CommonDigest.h"
#include "Foundation/NSError.h"
#include "Net/NSURLConnection.h"

class DispatchQueue;

// What the server told of the file, kept with the download so that a later
// request can prove it still names the same file.
struct ZELDownloadServerTags {
    std::optional<std::string> integrityTag;  // X-Amz-Meta-Md5-Hash, Etag, ETag or Content-MD5
    std::optional<std::string> entityTag;
    std::optional<std::string> lastModified;
    std::optional<std::string> md5Hash;  // X-Amz-Meta-Md5-Hash

    static ZELDownloadServerTags fromResponse(const NSHTTPURLResponse& response);
};

// Where a transfer starts: the partial file and what is known of it.
struct ZELDownloadTransferStart {
    std::string url;
    std::string path;             // the (partial) file
    int64_t bytesLoaded = 0;      // what the queue recorded as written
    std::optional<int64_t> size;  // the whole file's size, when known
    ZELDownloadServerTags tags;   // of the earlier answer
    // The most the file may have: an answer that announces more is refused
    // before a byte is written, one that sends more is stopped as soon as it
    // passes the bound (the file then keeps what came before).
    int64_t maximumSize = INT64_MAX;
};

// How a transfer ended. On success the file is whole and, when the server
// gave an MD5, verified.
struct ZELDownloadTransferResult {
    std::optional<NSError> error;
    int64_t bytesLoaded = 0;
    std::optional<int64_t> size;
    ZELDownloadServerTags tags;
};

// One resumable load of a file, run on the engine's serial queue. The resume
// offset is the smaller of the file's length and the recorded bytes; the file
// is cut to it. A Range request carries If-Range (the entity tag, else
// Last-Modified); only a 206 whose Content-Range starts at the offset and
// whose integrity tag equals the stored one is appended, anything else
// starts the file over. A 416 is success only for a file already whole.
// Whatever the server says of the length, no more than the start's
// maximumSize is ever written.
class ZELDownloadTransfer : public NSURLConnectionDataDelegate,
                            public std::enable_shared_from_this<ZELDownloadTransfer> {
  public:
    using Progress = std::function<void(int64_t bytesLoaded, std::optional<int64_t> size,
                                        const ZELDownloadServerTags& tags)>;
    using Completion = std::function<void(ZELDownloadTransferResult)>;

    // Both callbacks run on `queue`.
    static std::shared_ptr<ZELDownloadTransfer> start(ZELDownloadTransferStart start,
                                                      std::shared_ptr<DispatchQueue> queue,
                                                      Progress progress, Completion completion);
    ~ZELDownloadTransfer() override;

    // No callback runs after this; the file keeps what was written.
    void cancel();

    // The file's MD5 as lower-case hex; nullopt when it cannot be read.
    static std::optional<std::string> md5OfFile(const std::string& path);

    void connectionDidReceiveResponse(const std::shared_ptr<NSURLConnection>&,
                                      const NSHTTPURLResponse& response) override;
    void connectionDidReceiveData(const std::shared_ptr<NSURLConnection>&,
                                  const Value::Data& data) override;
    void connectionDidFailWithError(const std::shared_ptr<NSURLConnection>&,
                                    const NSError& error) override;
    void connectionDidFinishLoading(const std::shared_ptr<NSURLConnection>&) override;

    ZELDownloadTransfer(ZELDownloadTransferStart start, std::shared_ptr<DispatchQueue> queue,
                        Progress progress, Completion completion);

  private:
    void begin();
    void request(bool resuming);
    void startOver();
    void finish(std::optional<NSError> error);
    // Stops the answer: more than maximumSize announced or sent.
    void refuseOversizedAnswer(int64_t size);
    std::optional<NSError> verify();
    bool restartDigest();
    NSError fileError(const std::string& what) const;

    ZELDownloadTransferStart start_;
    std::shared_ptr<DispatchQueue> queue_;
    Progress progress_;
    Completion completion_;
    std::shared_ptr<NSURLConnection> connection_;
    int descriptor_ = -1;
    int64_t offset_ = 0;   // where this request's bytes go
    int64_t written_ = 0;  // bytes on disk
    std::optional<int64_t> size_;
    ZELDownloadServerTags tags_;
    CC_MD5_CTX digest_;       // of the bytes in the file so far
    bool accepting_ = false;  // the current answer's body goes into the file
    bool restarted_ = false;
    bool finished_ = false;
};
