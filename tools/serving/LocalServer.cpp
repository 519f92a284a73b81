#include "LocalServer.h"

#include <malloc.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <string_view>
#include <thread>

#include "AnswerWriter.h"
#include "DescriptorTable.h"
#include "RequestStream.h"

namespace {

// The answer the worker on this thread makes, while the library makes it.
thread_local Answer* answering = nullptr;

}  // namespace

// How the library's accept loop hands connections on: at once to the
// intake, which hands whole requests to the workers, which hand their
// answers to the writer.
class LocalServer::Serving : public httplib::TaskQueue {
  public:
    Serving(LocalServer& server, RequestIntake::Limits limits,
            AnswerWriter::Clock::duration writeTimeout)
        : server_(server),
          workers_(workerCount()),
          intake_(limits, server.budget_,
                  [this](RequestIntake::Request request) {
                      auto held = std::make_shared<RequestIntake::Request>(std::move(request));
                      workers_.enqueue([this, held] { server_.serve(*this, *held); });
                  }),
          writer_(
              writeTimeout, server.answerBytes_,
              [this](std::function<void()> task) { workers_.enqueue(std::move(task)); },
              [this](Answer& answer) {
                  if (answer.keepAlive)
                      intake_.admit(answer.socket, std::move(answer.next), answer.served);
                  else
                      intake_.drain(answer.socket);
              }) {
        server_.serving_ = this;
    }
    ~Serving() override { server_.serving_ = nullptr; }

    // Runs the accept loop's task, which only admits the connection.
    void enqueue(std::function<void()> task) override { task(); }

    void shutdown() override {
        intake_.stop();
        writer_.stop();
        workers_.shutdown();
    }

    AnswerWriter& writer() { return writer_; }
    size_t answerBytesHeld() const { return writer_.held(); }
    RequestIntake& intake() { return intake_; }

  private:
    LocalServer& server_;
    httplib::ThreadPool workers_;
    RequestIntake intake_;
    AnswerWriter writer_;
};

LocalServer::LocalServer()
    : ownBudget_(std::make_unique<MemoryBudget>(kMemoryBytes)),
      budget_(*ownBudget_),
      waitingConnections_(kWaitingConnections),
      answerBytes_(kAnswerBytes) {
    configure();
}

LocalServer::LocalServer(MemoryBudget& budget, size_t waitingConnections, size_t answerBytes)
    : budget_(budget), waitingConnections_(waitingConnections), answerBytes_(answerBytes) {
    configure();
}

void LocalServer::configure() {
    // Bodies and answers of many megabytes come and go. The allocator would
    // raise its mapping threshold to the largest block freed and then keep
    // such blocks in its arenas, so the resident size grew far past what the
    // budget counts; mapped on their own, they go back to the system when
    // freed.
    [[maybe_unused]] static const int mappedApart = mallopt(M_MMAP_THRESHOLD, kMappedApartBytes);
    // Each of the many workers would otherwise get an arena of its own, and
    // every arena keeps the small blocks it has freed: far past the budget
    // in all, as many threads serve large requests.
    [[maybe_unused]] static const int fewArenas = mallopt(M_ARENA_MAX, kArenas);
    set_payload_max_length(kBodyBytes);
    set_write_timeout(kWriteTimeout);
    DescriptorTable::raiseLimit();
    new_task_queue = [this] {
        const RequestIntake::Limits limits{waitingConnections_, 4 * waitingConnections_,
                                           kWaitingTurn,        kHeadBytes,
                                           payload_max_length_, kPauseLimit,
                                           kHeaderDeadline,     kBodyDeadline};
        return new Serving(*this, limits,
                           std::chrono::seconds(write_timeout_sec_) +
                               std::chrono::microseconds(write_timeout_usec_));
    };
    httplib::Server::set_post_routing_handler(
        [this](const httplib::Request& request, httplib::Response& response) {
            if (postRouting_)
                postRouting_(request, response);
            if (answering)
                answering->takeBodyOf(request, response);
        });
}

LocalServer::~LocalServer() = default;

LocalServer& LocalServer::set_post_routing_handler(Handler handler) {
    postRouting_ = std::move(handler);
    return *this;
}

void LocalServer::descriptorsRanOut() {
    if (Serving* serving = serving_)
        serving->writer().descriptorsRanOut();
}

size_t LocalServer::answerBytesHeld() const {
    const Serving* serving = serving_;
    return serving ? serving->answerBytesHeld() : 0;
}

unsigned LocalServer::workerCount() {
    return std::max(32u, 4 * std::thread::hardware_concurrency());
}

int LocalServer::bindToLoopback(int port) {
    const int bound =
        port == 0 ? bind_to_any_port("127.0.0.1") : (bind_to_port("127.0.0.1", port) ? port : -1);
    // The library's backlog of five drops the connections of a burst of
    // clients, which then wait a second to try again.
    if (bound > 0)
        ::listen(svr_sock_, SOMAXCONN);
    return bound;
}

bool LocalServer::process_and_close_socket(socket_t socket) {
    if (Serving* serving = serving_) {
        ::setsockopt(socket, SOL_SOCKET, SO_SNDBUF, &kSendBufferBytes, sizeof kSendBufferBytes);
        serving->intake().admitNew(socket);
        return true;
    }
    ::close(socket);
    return false;
}

void LocalServer::serve(Serving& serving, RequestIntake::Request& request) {
    Answer answer;
    answer.socket = request.socket;
    RequestStream stream(request.socket, std::string_view(request.bytes).substr(0, request.end),
                         request.continued, answer.head);
    const bool last = request.lastOnConnection || request.served + 1 >= keep_alive_max_count_;
    bool closed = false;
    answering = &answer;
    const bool answered = process_request(stream, last, closed, [](httplib::Request& asked) {
        if (asked.ranges.size() > 1)
            asked.ranges.clear();
    });
    answering = nullptr;
    budget_.give(request.reserved);
    answer.keepAlive =
        answered && !closed && !last && !answer.endsConnection && svr_sock_ != INVALID_SOCKET;
    if (answer.keepAlive) {
        answer.next = request.bytes.substr(request.end);
        answer.served = request.served + 1;
    }
    serving.writer().write(std::move(answer));
}
