#include "NetTestServer.h"

#include <chrono>

std::string NetTestServer::dataBytes(size_t from, size_t to) {
    std::string bytes;
    for (size_t i = from; i < to; ++i)
        bytes += static_cast<char>(i % 251);
    return bytes;
}

NetTestServer::NetTestServer() {
    auto& http = server();
    http.Get("/hello", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("hello world", "text/plain; charset=utf-8");
    });
    http.Get("/data", [](const httplib::Request&, httplib::Response& response) {
        response.set_content(dataBytes(), "application/octet-stream");
    });
    http.Get("/headers", [](const httplib::Request& request, httplib::Response& response) {
        response.set_header("X-Echo", request.get_header_value("X-Test"));
        response.set_content("", "text/plain");
    });
    const auto echo = [](const httplib::Request& request, httplib::Response& response) {
        response.set_content(request.method + " " + request.body, "text/plain");
    };
    http.Post("/echo", echo);
    http.Put("/echo", echo);
    http.Get("/redirect", [](const httplib::Request&, httplib::Response& response) {
        response.set_redirect("/hello");
        response.set_content("moved", "text/plain");
    });
    http.Get("/slow", [](const httplib::Request&, httplib::Response& response) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        response.set_content("late", "text/plain");
    });
    http.Get("/stream", [](const httplib::Request&, httplib::Response& response) {
        response.set_chunked_content_provider(
            "application/octet-stream", [](size_t, httplib::DataSink& sink) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                return sink.is_writable() && sink.write("x", 1);
            });
    });
    http.Get("/drop", [](const httplib::Request&, httplib::Response& response) {
        response.set_content_provider(1000, "application/octet-stream",
                                      [](size_t offset, size_t, httplib::DataSink& sink) {
                                          if (offset > 0)
                                              return false;
                                          const std::string part(100, 'd');
                                          return sink.write(part.data(), part.size());
                                      });
    });
    http.Get("/missing", [](const httplib::Request&, httplib::Response& response) {
        response.status = 404;
        response.set_content("missing", "text/plain");
    });
    start();
}
