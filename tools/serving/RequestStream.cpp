#include "RequestStream.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstring>

#include "RequestFraming.h"

namespace {

std::string endpointOf(int socket, bool peer, int& port) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    const int result = peer ? ::getpeername(socket, reinterpret_cast<sockaddr*>(&address), &length)
                            : ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length);
    char text[INET6_ADDRSTRLEN] = {};
    port = 0;
    if (result != 0)
        return {};
    if (address.ss_family == AF_INET) {
        const auto& v4 = reinterpret_cast<const sockaddr_in&>(address);
        ::inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text);
        port = ntohs(v4.sin_port);
    } else if (address.ss_family == AF_INET6) {
        const auto& v6 = reinterpret_cast<const sockaddr_in6&>(address);
        ::inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof text);
        port = ntohs(v6.sin6_port);
    }
    return text;
}

}  // namespace

RequestStream::RequestStream(int socket, std::string_view request, bool continued,
                             std::string& written)
    : socket_(socket), request_(request), written_(written), continued_(continued) {}

ssize_t RequestStream::read(char* bytes, size_t size) {
    const size_t count = std::min(size, request_.size() - read_);
    std::memcpy(bytes, request_.data() + read_, count);
    read_ += count;
    return static_cast<ssize_t>(count);
}

ssize_t RequestStream::write(const char* bytes, size_t size) {
    if (continued_ && std::string_view(bytes, size) == RequestFraming::kContinue)
        continued_ = false;
    else
        written_.append(bytes, size);
    return static_cast<ssize_t>(size);
}

void RequestStream::get_remote_ip_and_port(std::string& ip, int& port) const {
    ip = endpointOf(socket_, true, port);
}

void RequestStream::get_local_ip_and_port(std::string& ip, int& port) const {
    ip = endpointOf(socket_, false, port);
}
