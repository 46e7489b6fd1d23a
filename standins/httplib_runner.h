#pragma once

#include <memory>
#include <string>
#include <thread>

namespace httplib {
class Server;
}

namespace quorvane::standins {

// A cpp-httplib server listening on 127.0.0.1 at a free port on a thread of its own,
// from Start until destruction.
class HttplibRunner {
 public:
  HttplibRunner();
  ~HttplibRunner();
  HttplibRunner(const HttplibRunner&) = delete;
  HttplibRunner& operator=(const HttplibRunner&) = delete;

  // Register the handlers here before Start.
  httplib::Server& Server() { return *server_; }
  // Binds, starts listening and returns once the server answers.
  void Start();
  // "http://127.0.0.1:<port>" followed by `path`.
  std::string Url(const std::string& path = "") const;

 private:
  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  int port_ = 0;
};

}  // namespace quorvane::standins
