#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

// HTTP spoken byte by byte to a local server on 127.0.0.1, for requests no
// well-behaved client sends (a NUL in a path, a request that never ends).

// A socket connected to the port from the loopback address `source` (any
// of 127.0.0.0/8, which every local program may use), or -1.
inline int rawConnectFrom(const char* source, int port) {
    const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socket < 0)
        return -1;
    // The port is chosen at connect, as without an address of one's own.
    const int noPort = 1;
    ::setsockopt(socket, IPPROTO_IP, IP_BIND_ADDRESS_NO_PORT, &noPort, sizeof noPort);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    if (::inet_pton(AF_INET, source, &local.sin_addr) != 1 ||
        ::bind(socket, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        ::close(socket);
        return -1;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(socket);
        return -1;
    }
    return socket;
}

// A socket connected to the port, or -1.
inline int rawConnect(int port) {
    return rawConnectFrom("127.0.0.1", port);
}

inline bool rawSend(int socket, const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(socket, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += size_t(n);
    }
    return true;
}

// What the server sends until it closes the connection or `seconds` pass
// without a byte.
inline std::string rawReceive(int socket, int seconds) {
    std::string bytes;
    std::string buffer(64 * 1024, '\0');
    for (;;) {
        pollfd wanted{socket, POLLIN, 0};
        if (::poll(&wanted, 1, seconds * 1000) <= 0)
            return bytes;
        const ssize_t n = ::recv(socket, buffer.data(), buffer.size(), 0);
        if (n <= 0)
            return bytes;
        bytes.append(buffer.data(), size_t(n));
    }
}

// Sends one request on a connection of its own from the loopback address
// `source` and answers all the server sends until it closes the connection
// or `seconds` pass without a byte.
inline std::string rawAnswerFrom(const char* source, int port, const std::string& request,
                                 int seconds = 30) {
    const int socket = rawConnectFrom(source, port);
    if (socket < 0)
        return {};
    std::string response;
    if (rawSend(socket, request))
        response = rawReceive(socket, seconds);
    ::close(socket);
    return response;
}

inline std::string rawAnswer(int port, const std::string& request, int seconds = 30) {
    return rawAnswerFrom("127.0.0.1", port, request, seconds);
}

// Sends one request (closing the connection after it) from `source` and
// answers the response's status, or 0 when none came within `seconds`.
inline int rawStatusFrom(const char* source, int port, const std::string& request,
                         int seconds = 30) {
    const std::string response = rawAnswerFrom(source, port, request, seconds);
    // "HTTP/1.1 200 OK"
    if (response.rfind("HTTP/1.", 0) != 0 || response.size() < 12)
        return 0;
    return std::atoi(response.c_str() + 9);
}

inline int rawStatus(int port, const std::string& request, int seconds = 30) {
    return rawStatusFrom("127.0.0.1", port, request, seconds);
}

// The body of a response read whole: what follows its head.
inline std::string rawBody(const std::string& response) {
    const size_t head = response.find("\r\n\r\n");
    return head == std::string::npos ? std::string() : response.substr(head + 4);
}

// A GET of the path, sent whole.
inline std::string rawGet(const std::string& path, const std::string& headers = {}) {
    return "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n" + headers +
           "\r\n";
}
