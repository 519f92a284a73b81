#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

// One Kelvara per home: the first to start listens on a Unix socket named
// after its home, in the user's runtime folder; a later start hands over to
// it and ends: its kelvara2 link, or, without one, nothing but the request to
// come to the front (an empty text). Only the same user's
// processes are heard, and only texts that start with "kelvara2:" (in any
// letter case) and have at most kMaximumLinkLength bytes are taken; the
// receiver judges the rest.
//
// The running instance reads its connections side by side, each for at most
// kSenderTime, and keeps at most kMaximumSenders of them (the oldest goes
// first): a sender that stays silent or trickles holds nothing but its own
// connection. A hand-over, connecting included, ends by the deadline it is
// given.
class CBRunningInstance {
  public:
    static constexpr size_t kMaximumLinkLength = 8192;
    static constexpr std::chrono::milliseconds kSenderTime{2000};
    static constexpr size_t kMaximumSenders = 32;
    // How long a hand-over may take unless told otherwise.
    static constexpr std::chrono::seconds kHandOverTime{10};
    using Deadline = std::chrono::steady_clock::time_point;

    // $XDG_RUNTIME_DIR/kelvara-<digest of the home>.sock, or under a private
    // folder /tmp/kelvara-<uid> without a runtime folder; empty when no safe
    // place exists (the folder belongs to someone else, the path is too long).
    static std::string socketPathForHome(const std::string& home);
    // The same name ending in ".lock": where a start holds a home whose own
    // lock cannot be taken (a lock file of another user's, a file system
    // without locks), which starts by another user or another path to the
    // home do not see.
    static std::string lockPathForHome(const std::string& home);
    // Whether an instance listens at the path (it is asked nothing: it
    // neither opens a link nor comes to the front). A full queue until
    // kSenderTime has passed counts as listening.
    static bool isListening(const std::string& socketPath);

    enum class Forwarding { Forwarded, NoInstance, Refused };
    // Hands the link to the instance listening at the path: Forwarded once it
    // took it, else the reason in *error. Refused, saying so, when the
    // instance has not answered by the deadline.
    static Forwarding forwardLink(const std::string& socketPath, const std::string& link,
                                  std::string* error = nullptr,
                                  Deadline deadline = std::chrono::steady_clock::now() +
                                                      kHandOverTime);
    // Asks the instance listening at the path to come to the front.
    static Forwarding forwardActivation(const std::string& socketPath, std::string* error = nullptr,
                                        Deadline deadline = std::chrono::steady_clock::now() +
                                                            kHandOverTime);

    // Starts listening; every link taken is given to `receiver`, and every
    // request to come to the front to `activation`, on the main queue (without
    // `activation` such requests are refused). nullptr when another instance
    // listens there or the socket cannot be made; a socket file left by an
    // instance that died is replaced.
    static std::shared_ptr<CBRunningInstance> listen(
        const std::string& socketPath, std::function<void(const std::string& link)> receiver,
        std::function<void()> activation = {});

    // Stops listening and removes the socket file.
    ~CBRunningInstance();
    CBRunningInstance(const CBRunningInstance&) = delete;
    CBRunningInstance& operator=(const CBRunningInstance&) = delete;

    const std::string& socketPath() const { return path_; }

  private:
    CBRunningInstance(std::string path, int socket, int wake,
                      std::function<void(const std::string&)> receiver,
                      std::function<void()> activation);
    struct Sender;
    static Forwarding handOver(const std::string& socketPath, const std::string& text,
                               std::string* error, Deadline deadline);
    void serve();
    void acceptSenders(std::vector<Sender>& senders) const;
    // Reads what the sender has sent so far; false once it is done with.
    bool readFrom(Sender& sender) const;
    void answer(int connection, const std::string& text) const;

    std::string path_;
    int socket_;
    int wake_;  // an eventfd that ends the accept loop
    std::function<void(const std::string&)> receiver_;
    std::function<void()> activation_;
    std::thread thread_;
};
