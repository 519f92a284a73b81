#pragma once

#include <httplib.h>

#include <ctime>
#include <string_view>

// One whole request as the HTTP library reads it, and its connection to
// write the answer to: reading past the request's bytes finds its end, never
// the socket, so no client can keep the worker waiting for more. When the
// client had its "100 Continue" before it sent the body, the library's own
// goes unsent.
class RequestStream : public httplib::Stream {
  public:
    RequestStream(int socket, std::string_view request, bool continued, time_t writeTimeoutSeconds);

    bool is_readable() const override { return read_ < request_.size(); }
    bool is_writable() const override;
    ssize_t read(char* bytes, size_t size) override;
    ssize_t write(const char* bytes, size_t size) override;
    void get_remote_ip_and_port(std::string& ip, int& port) const override;
    void get_local_ip_and_port(std::string& ip, int& port) const override;
    socket_t socket() const override { return socket_; }

  private:
    const int socket_;
    const std::string_view request_;
    const time_t writeTimeout_;
    bool continued_;
    size_t read_ = 0;
};
