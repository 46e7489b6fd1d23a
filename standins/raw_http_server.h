#pragma once

#include "standins/socket_shim.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

// Loopback HTTP servers that stand in for the outside services in tests, benchmarks
// and the demo. This one works on raw bytes: it records each request exactly as it
// arrived (request line, header lines in order and spelling, body) and lets a handler
// answer with any bytes at any pace, including answers no real server should send.
namespace quorvane::standins {

struct RecordedRequest {
  std::string raw;                       // the bytes received: head and body
  std::string requestLine;               // "GET /path HTTP/1.1"
  std::vector<std::string> headerLines;  // "Name: value", in the order received
  std::string body;

  std::string Method() const;
  std::string Target() const;
  // The value of the first header of that name (letter case ignored), trimmed.
  std::string Header(std::string_view name) const;
  bool HasHeader(std::string_view name) const;
};

// The handler's side of one connection.
class Connection {
 public:
  Connection(sockets::Socket socket, const std::atomic<bool>& stopping) : socket_(socket), stopping_(stopping) {}
  // False once the client has gone or the server is stopping.
  bool Send(std::string_view bytes);
  // Sleeps, but wakes early when the server stops or the client hangs up; false then.
  bool Pause(std::chrono::milliseconds duration);
  bool Stopping() const { return stopping_.load(); }

 private:
  sockets::Socket socket_;
  const std::atomic<bool>& stopping_;
};

using Handler = std::function<void(const RecordedRequest&, Connection&)>;

class RawHttpServer {
 public:
  // Listens on 127.0.0.1 at a free port; one thread per connection, one request per
  // connection, closed after the handler returns.
  explicit RawHttpServer(Handler handler);
  ~RawHttpServer();
  RawHttpServer(const RawHttpServer&) = delete;
  RawHttpServer& operator=(const RawHttpServer&) = delete;

  int Port() const { return port_; }
  // "http://127.0.0.1:<port>" followed by `path`.
  std::string Url(std::string_view path = "/") const;
  // "127.0.0.1:<port>", as a proxy address.
  std::string HostAndPort() const;

  std::vector<RecordedRequest> Requests() const;
  std::size_t RequestCount() const;
  // Waits until at least `count` requests have arrived.
  bool WaitForRequests(std::size_t count, std::chrono::milliseconds patience) const;
  // Connections currently open.
  int OpenConnections() const { return openConnections_.load(); }

 private:
  void AcceptLoop();
  void Serve(sockets::Socket socket);

  Handler handler_;
  sockets::Socket listener_ = sockets::kInvalid;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int> openConnections_{0};
  mutable std::mutex mutex_;
  mutable std::condition_variable arrived_;
  std::vector<RecordedRequest> requests_;
  std::vector<sockets::Socket> clientSockets_;
  std::vector<std::thread> workers_;
  std::thread acceptor_;
};

// A complete answer: status line, the given header lines, Content-Length and
// "Connection: close", then the body.
std::string HttpResponse(int status, std::string_view body, const std::vector<std::string>& headers = {});

// A handler that always sends the same bytes.
Handler Reply(std::string response);

}  // namespace quorvane::standins
