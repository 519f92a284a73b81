#include "AnswerWriter.h"

#include <linux/sockios.h>
#include <sys/epoll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "DescriptorTable.h"

namespace {

// The pieces one write hands the socket.
constexpr size_t kPiecesPerWrite = 8;

void resetSocket(int socket) {
    const linger abortive{1, 0};
    ::setsockopt(socket, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    ::close(socket);
}

}  // namespace

AnswerWriter::AnswerWriter(Clock::duration timeout, size_t capacity,
                           std::function<void(std::function<void()>)> elsewhere,
                           std::function<void(Answer&)> written)
    : timeout_(timeout),
      capacity_(capacity),
      elsewhere_(std::move(elsewhere)),
      written_(std::move(written)),
      poller_({[this](uint64_t id) { writable(id); }, [this] { takeArrivals(); },
               [this](Clock::time_point now) { sweep(now); }, [this] { resetAll(); }}) {}

AnswerWriter::~AnswerWriter() {
    stop();
}

void AnswerWriter::write(Answer answer) {
    {
        std::lock_guard lock(mutex_);
        if (!stopped_) {
            arrivals_.push_back(std::move(answer));
            poller_.wake();
            return;
        }
    }
    resetSocket(answer.socket);
}

void AnswerWriter::stop() {
    {
        std::lock_guard lock(mutex_);
        stopped_ = true;
    }
    poller_.stop();
}

void AnswerWriter::descriptorsRanOut() {
    descriptorsRanOut_ = true;
    poller_.wake();
}

void AnswerWriter::resetAll() {
    while (!writing_.empty())
        reset(writing_.begin());
    std::lock_guard lock(mutex_);
    for (const Answer& answer : arrivals_)
        resetSocket(answer.socket);
    arrivals_.clear();
    pulled_.clear();
}

void AnswerWriter::takeArrivals() {
    std::vector<Answer> arrivals;
    std::vector<Pulled> pulled;
    {
        std::lock_guard lock(mutex_);
        arrivals.swap(arrivals_);
        pulled.swap(pulled_);
    }
    if (descriptorsRanOut_.exchange(false))
        freeDescriptors();
    for (Pulled& piece : pulled)
        took(std::move(piece));
    for (Answer& answer : arrivals) {
        const uint64_t id = nextId_++;
        // Told each time the socket takes bytes again; the writer tries on
        // its own whenever it has new ones.
        poller_.watch(answer.socket, EPOLLOUT | EPOLLET, id);
        const auto connection = writing_.try_emplace(id).first;
        Writing& writing = connection->second;
        writing.answer = std::move(answer);
        writing.progress = Clock::now();
        size_t bytes = 0;
        for (std::string* piece : {&writing.answer.head, &writing.answer.body}) {
            if (!piece->empty()) {
                bytes += piece->size();
                writing.pieces.push_back(std::move(*piece));
            }
        }
        reserve(connection, bytes);
        send(id);
    }
}

void AnswerWriter::writable(uint64_t id) {
    // The kernel has room again for a connection it was full for: the peer
    // took bytes, whether or not the writer has more for it now.
    if (const auto connection = writing_.find(id); connection != writing_.end())
        connection->second.progress = Clock::now();
    send(id);
}

void AnswerWriter::send(uint64_t id) {
    const auto connection = writing_.find(id);
    if (connection == writing_.end())
        return;
    Writing& writing = connection->second;
    if (!sendPieces(writing) || !sendFile(writing)) {
        reset(connection);
        return;
    }
    if (writing.pulling)
        return;
    const Answer& answer = writing.answer;
    const bool more = answer.pulled && !answer.pulled->finished() && !writing.gaveUp;
    const bool waiting = !writing.pieces.empty() || (answer.fileBytes > 0 && !writing.gaveUp);
    if (!more && !waiting) {
        finish(connection);
        return;
    }
    size_t left = 0;
    for (const std::string& piece : writing.pieces)
        left += piece.size();
    // The next piece is pulled while the last one goes out.
    if (more && left - writing.sent < kPieceBytes)
        pull(connection);
}

bool AnswerWriter::sendPieces(Writing& writing) {
    // The head goes out with the first bytes of a file that follows it.
    const int flags = MSG_NOSIGNAL | (writing.answer.fileBytes > 0 ? MSG_MORE : 0);
    while (!writing.pieces.empty()) {
        iovec vectors[kPiecesPerWrite];
        size_t count = 0;
        for (auto piece = writing.pieces.begin();
             piece != writing.pieces.end() && count < kPiecesPerWrite; ++piece, ++count) {
            const size_t from = count == 0 ? writing.sent : 0;
            vectors[count] = {piece->data() + from, piece->size() - from};
        }
        msghdr message{};
        message.msg_iov = vectors;
        message.msg_iovlen = count;
        ssize_t sent = ::sendmsg(writing.answer.socket, &message, flags);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent < 0)
            return errno == EAGAIN || errno == EWOULDBLOCK;
        writing.progress = Clock::now();
        while (sent > 0) {
            const size_t left = writing.pieces.front().size() - writing.sent;
            if (size_t(sent) < left) {
                writing.sent += size_t(sent);
                break;
            }
            sent -= ssize_t(left);
            release(writing, writing.pieces.front().size());
            writing.pieces.pop_front();
            writing.sent = 0;
        }
    }
    return true;
}

bool AnswerWriter::sendFile(Writing& writing) {
    Answer& answer = writing.answer;
    while (writing.pieces.empty() && answer.fileBytes > 0 && !writing.gaveUp) {
        // Bytes read that the socket does not take are read again later.
        const ssize_t read =
            ::pread(answer.file->descriptor(), fileBuffer_.data(),
                    size_t(std::min<uint64_t>(answer.fileBytes, fileBuffer_.size())),
                    off_t(answer.fileOffset));
        // A file cut short since cannot give what the head promised.
        if (read <= 0) {
            writing.gaveUp = true;
            break;
        }
        const ssize_t sent = ::send(answer.socket, fileBuffer_.data(), size_t(read), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent < 0)
            return errno == EAGAIN || errno == EWOULDBLOCK;
        writing.progress = Clock::now();
        answer.fileOffset += uint64_t(sent);
        answer.fileBytes -= uint64_t(sent);
    }
    return true;
}

void AnswerWriter::pull(Connections::iterator connection) {
    Writing& writing = connection->second;
    writing.pulling = true;
    reserve(connection, kPieceBytes);
    elsewhere_([this, id = connection->first, body = writing.answer.pulled] {
        Pulled pulled{id, {}, false};
        pulled.provided = body->pull(pulled.piece, kPieceBytes);
        std::lock_guard lock(mutex_);
        if (!stopped_) {
            pulled_.push_back(std::move(pulled));
            poller_.wake();
        }
    });
}

void AnswerWriter::took(Pulled pulled) {
    const auto connection = writing_.find(pulled.id);
    if (connection == writing_.end())
        return;
    Writing& writing = connection->second;
    writing.pulling = false;
    release(writing, kPieceBytes);
    writing.gaveUp = !pulled.provided;
    if (!pulled.piece.empty()) {
        writing.progress = Clock::now();
        reserve(connection, pulled.piece.size());
        writing.pieces.push_back(std::move(pulled.piece));
    } else if (pulled.provided && !writing.answer.pulled->finished()) {
        // Asked again at the next sweep rather than at once.
        return;
    }
    send(pulled.id);
}

void AnswerWriter::reserve(Connections::iterator connection, size_t bytes) {
    while (held_ + bytes > capacity_) {
        const auto stalled = longestStalled(connection, true);
        if (stalled == writing_.end())
            break;
        reset(stalled);
    }
    connection->second.held += bytes;
    held_ += bytes;
}

AnswerWriter::Connections::iterator AnswerWriter::longestStalled(Connections::iterator spared,
                                                                 bool holding) {
    auto stalled = writing_.end();
    for (auto other = writing_.begin(); other != writing_.end(); ++other) {
        const Writing& writing = other->second;
        // One that waits for the next piece of its body waits on the server.
        const bool waitingOnServer = writing.pulling && writing.pieces.empty();
        if (other != spared && !waitingOnServer && (!holding || writing.held > 0) &&
            (stalled == writing_.end() || writing.progress < stalled->second.progress))
            stalled = other;
    }
    return stalled;
}

void AnswerWriter::lookAtKernel(Writing& writing, Clock::time_point now) {
    // Writes since the last look only add to what the kernel holds, and
    // they count as progress themselves.
    int queued = 0;
    if (::ioctl(writing.answer.socket, SIOCOUTQ, &queued) != 0)
        return;
    if (queued < writing.queued)
        writing.progress = now;
    writing.queued = queued;
}

void AnswerWriter::freeDescriptors() {
    // As many give way as descriptors were missing, each freeing one at
    // least: those that new connections take meanwhile are left to the next
    // look, so that a stream of them cannot reset every connection.
    for (size_t missing = DescriptorTable::shortBy(); missing > 0; --missing) {
        const auto stalled = longestStalled(writing_.end(), false);
        if (stalled == writing_.end())
            return;
        reset(stalled);
    }
}

void AnswerWriter::release(Writing& writing, size_t bytes) {
    writing.held -= bytes;
    held_ -= bytes;
}

void AnswerWriter::sweep(Clock::time_point now) {
    std::vector<uint64_t> stalled;
    std::vector<uint64_t> idle;
    for (auto& [id, writing] : writing_) {
        lookAtKernel(writing, now);
        if (writing.pulling)
            continue;
        if (now - writing.progress > timeout_)
            stalled.push_back(id);
        else if (writing.pieces.empty() && writing.answer.pulled)
            idle.push_back(id);
    }
    for (const uint64_t id : stalled)
        reset(writing_.find(id));
    for (const uint64_t id : idle)
        send(id);
    freeDescriptors();
}

void AnswerWriter::finish(Connections::iterator connection) {
    Answer answer = std::move(connection->second.answer);
    poller_.forget(answer.socket);
    answer.keepAlive = answer.keepAlive && !connection->second.gaveUp;
    release(connection->second, connection->second.held);
    writing_.erase(connection);
    written_(answer);
}

void AnswerWriter::reset(Connections::iterator connection) {
    const int socket = connection->second.answer.socket;
    poller_.forget(socket);
    release(connection->second, connection->second.held);
    writing_.erase(connection);
    resetSocket(socket);
}
