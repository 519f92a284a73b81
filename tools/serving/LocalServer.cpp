#include "LocalServer.h"

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <string_view>
#include <thread>

#include "RequestStream.h"

// How the library's accept loop hands connections on: at once to the
// intake, which hands whole requests to the workers.
class LocalServer::Serving : public httplib::TaskQueue {
  public:
    Serving(LocalServer& server, RequestIntake::Limits limits)
        : server_(server),
          workers_(workerCount()),
          intake_(limits, server.budget_, [this](RequestIntake::Request request) {
              auto held = std::make_shared<RequestIntake::Request>(std::move(request));
              workers_.enqueue([this, held] { server_.serve(*this, *held); });
          }) {
        server_.serving_ = this;
    }
    ~Serving() override { server_.serving_ = nullptr; }

    // Runs the accept loop's task, which only admits the connection.
    void enqueue(std::function<void()> task) override { task(); }

    void shutdown() override {
        intake_.stop();
        workers_.shutdown();
    }

    RequestIntake& intake() { return intake_; }

  private:
    LocalServer& server_;
    httplib::ThreadPool workers_;
    RequestIntake intake_;
};

LocalServer::LocalServer()
    : ownBudget_(std::make_unique<MemoryBudget>(kMemoryBytes)),
      budget_(*ownBudget_),
      waitingConnections_(kWaitingConnections) {
    configure();
}

LocalServer::LocalServer(MemoryBudget& budget, size_t waitingConnections)
    : budget_(budget), waitingConnections_(waitingConnections) {
    configure();
}

void LocalServer::configure() {
    set_payload_max_length(kBodyBytes);
    new_task_queue = [this] {
        const RequestIntake::Limits limits{waitingConnections_, 4 * waitingConnections_,
                                           kWaitingTurn,        kHeadBytes,
                                           payload_max_length_, kPauseLimit,
                                           kHeaderDeadline,     kBodyDeadline};
        return new Serving(*this, limits);
    };
}

LocalServer::~LocalServer() = default;

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
        serving->intake().admitNew(socket);
        return true;
    }
    ::close(socket);
    return false;
}

void LocalServer::serve(Serving& serving, RequestIntake::Request& request) {
    RequestStream stream(request.socket, std::string_view(request.bytes).substr(0, request.end),
                         request.continued, write_timeout_sec_);
    const bool last = request.lastOnConnection || request.served + 1 >= keep_alive_max_count_;
    bool closed = false;
    const bool answered = process_request(stream, last, closed, [](httplib::Request&) {});
    budget_.give(request.reserved);
    if (answered && !closed && !last && svr_sock_ != INVALID_SOCKET)
        serving.intake().admit(request.socket, request.bytes.substr(request.end),
                               request.served + 1);
    else
        serving.intake().drain(request.socket);
}
