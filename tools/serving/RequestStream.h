#pragma once

#include <httplib.h>

#include <string>
#include <string_view>

// One whole request as the HTTP library reads it, and the answer the library
// writes to it: reading past the request's bytes finds its end, never the
// socket, and what the library writes is kept for the writer, so no client
// can keep the worker waiting, neither for more of its request nor to read
// its answer. When the client had its "100 Continue" before it sent the
// body, the library's own is left out.
class RequestStream : public httplib::Stream {
  public:
    RequestStream(int socket, std::string_view request, bool continued, std::string& written);

    bool is_readable() const override { return read_ < request_.size(); }
    bool is_writable() const override { return true; }
    ssize_t read(char* bytes, size_t size) override;
    ssize_t write(const char* bytes, size_t size) override;
    void get_remote_ip_and_port(std::string& ip, int& port) const override;
    void get_local_ip_and_port(std::string& ip, int& port) const override;
    socket_t socket() const override { return socket_; }

  private:
    const int socket_;
    const std::string_view request_;
    std::string& written_;
    bool continued_;
    size_t read_ = 0;
};
