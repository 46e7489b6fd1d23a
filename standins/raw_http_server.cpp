#include "standins/raw_http_server.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

namespace quorvane::standins {
namespace {

constexpr std::size_t kHeadLimit = 1u << 20;
constexpr std::size_t kBodyLimit = 256u << 20;

std::string Lower(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower;
}

std::string Trim(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) {
    return {};
  }
  return std::string(text.substr(first, text.find_last_not_of(" \t") - first + 1));
}

// Reads until `done` says the buffer holds enough, the peer closes, or the server stops.
template <typename Done>
bool ReadUntil(sockets::Socket socket, std::string& buffer, const std::atomic<bool>& stopping, Done done) {
  char chunk[65536];
  while (!done(buffer)) {
    sockets::PollEntry descriptor{socket, POLLIN, 0};
    const int ready = sockets::Poll(&descriptor, 1, 10);
    if (stopping.load()) {
      return false;
    }
    if (ready <= 0) {
      continue;
    }
    const long received = sockets::Receive(socket, chunk, sizeof chunk, 0);
    if (received <= 0) {
      return false;
    }
    buffer.append(chunk, static_cast<std::size_t>(received));
  }
  return true;
}

}  // namespace

std::string RecordedRequest::Method() const { return requestLine.substr(0, requestLine.find(' ')); }

std::string RecordedRequest::Target() const {
  const std::size_t first = requestLine.find(' ');
  const std::size_t last = requestLine.rfind(' ');
  if (first == std::string::npos || last == first) {
    return {};
  }
  return requestLine.substr(first + 1, last - first - 1);
}

std::string RecordedRequest::Header(std::string_view name) const {
  const std::string wanted = Lower(name) + ":";
  for (const std::string& line : headerLines) {
    if (Lower(line.substr(0, wanted.size())) == wanted) {
      return Trim(std::string_view(line).substr(wanted.size()));
    }
  }
  return {};
}

bool RecordedRequest::HasHeader(std::string_view name) const {
  const std::string wanted = Lower(name) + ":";
  return std::any_of(headerLines.begin(), headerLines.end(),
                     [&wanted](const std::string& line) { return Lower(line.substr(0, wanted.size())) == wanted; });
}

bool Connection::Send(std::string_view bytes) {
  while (!bytes.empty()) {
    if (stopping_.load()) {
      return false;
    }
    sockets::PollEntry descriptor{socket_, POLLOUT, 0};
    if (sockets::Poll(&descriptor, 1, 50) <= 0) {
      continue;
    }
    const long sent = sockets::Send(socket_, bytes.data(), bytes.size(), sockets::kNoSignal);
    if (sent <= 0) {
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

bool Connection::Pause(std::chrono::milliseconds duration) {
  const auto until = std::chrono::steady_clock::now() + duration;
  while (std::chrono::steady_clock::now() < until) {
    if (stopping_.load()) {
      return false;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
    sockets::PollEntry descriptor{socket_, POLLIN, 0};
    if (sockets::Poll(&descriptor, 1, static_cast<int>(std::clamp<long long>(left.count(), 0, 10))) > 0) {
      // Readable with nothing to read: the client has hung up.
      char byte = 0;
      if (sockets::Receive(socket_, &byte, 1, MSG_PEEK | sockets::kDontWait) == 0 ||
          (descriptor.revents & (POLLHUP | POLLERR)) != 0) {
        return false;
      }
      std::this_thread::sleep_for(std::min(left, std::chrono::milliseconds(10)));
    }
  }
  return !stopping_.load();
}

RawHttpServer::RawHttpServer(Handler handler) : handler_(std::move(handler)) {
  sockets::Start();
  listener_ = socket(AF_INET, SOCK_STREAM, 0);
  const int yes = 1;
  setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&yes), sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(listener_, 64) != 0) {
    throw std::runtime_error("stand-in cannot listen on 127.0.0.1");
  }
  socklen_t length = sizeof address;
  getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

RawHttpServer::~RawHttpServer() {
  stopping_.store(true);
  acceptor_.join();
  sockets::Close(listener_);
  {
    std::lock_guard lock(mutex_);
    for (const sockets::Socket client : clientSockets_) {
      shutdown(client, sockets::kShutBoth);
    }
  }
  for (std::thread& worker : workers_) {
    worker.join();
  }
}

std::string RawHttpServer::Url(std::string_view path) const { return "http://" + HostAndPort() + std::string(path); }

std::string RawHttpServer::HostAndPort() const { return "127.0.0.1:" + std::to_string(port_); }

std::vector<RecordedRequest> RawHttpServer::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::size_t RawHttpServer::RequestCount() const {
  std::lock_guard lock(mutex_);
  return requests_.size();
}

bool RawHttpServer::WaitForRequests(std::size_t count, std::chrono::milliseconds patience) const {
  std::unique_lock lock(mutex_);
  return arrived_.wait_for(lock, patience, [&] { return requests_.size() >= count; });
}

void RawHttpServer::AcceptLoop() {
  while (!stopping_.load()) {
    sockets::PollEntry descriptor{listener_, POLLIN, 0};
    if (sockets::Poll(&descriptor, 1, 50) <= 0) {
      continue;
    }
    const sockets::Socket client = accept(listener_, nullptr, nullptr);
    if (client == sockets::kInvalid) {
      continue;
    }
    std::lock_guard lock(mutex_);
    clientSockets_.push_back(client);
    ++openConnections_;
    workers_.emplace_back([this, client] { Serve(client); });
  }
}

void RawHttpServer::Serve(sockets::Socket socket) {
  std::string buffer;
  const bool headComplete = ReadUntil(socket, buffer, stopping_, [](const std::string& received) {
    return received.find("\r\n\r\n") != std::string::npos || received.size() > kHeadLimit;
  });
  const std::size_t headEnd = buffer.find("\r\n\r\n");
  if (headComplete && headEnd != std::string::npos) {
    RecordedRequest request;
    const std::string head = buffer.substr(0, headEnd);
    std::size_t lineStart = 0;
    for (bool first = true; lineStart <= head.size(); first = false) {
      std::size_t lineEnd = head.find("\r\n", lineStart);
      if (lineEnd == std::string::npos) {
        lineEnd = head.size();
      }
      std::string line = head.substr(lineStart, lineEnd - lineStart);
      if (first) {
        request.requestLine = std::move(line);
      } else {
        request.headerLines.push_back(std::move(line));
      }
      lineStart = lineEnd + 2;
    }
    const std::size_t bodyLength =
        std::min<std::size_t>(std::strtoull(request.Header("Content-Length").c_str(), nullptr, 10), kBodyLimit);
    const std::size_t bodyStart = headEnd + 4;
    ReadUntil(socket, buffer, stopping_,
              [&](const std::string& received) { return received.size() >= bodyStart + bodyLength; });
    request.body = buffer.substr(std::min(bodyStart, buffer.size()), bodyLength);
    request.raw = buffer.substr(0, std::min(buffer.size(), bodyStart + bodyLength));
    {
      std::lock_guard lock(mutex_);
      requests_.push_back(request);
      arrived_.notify_all();
    }
    Connection connection(socket, stopping_);
    handler_(request, connection);
  }
  {
    std::lock_guard lock(mutex_);
    clientSockets_.erase(std::remove(clientSockets_.begin(), clientSockets_.end(), socket), clientSockets_.end());
  }
  shutdown(socket, sockets::kShutBoth);
  sockets::Close(socket);
  --openConnections_;
}

std::string HttpResponse(int status, std::string_view body, const std::vector<std::string>& headers) {
  std::string response = "HTTP/1.1 " + std::to_string(status) + " Stand-in\r\n";
  for (const std::string& header : headers) {
    response += header + "\r\n";
  }
  response += "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n";
  response += body;
  return response;
}

Handler Reply(std::string response) {
  return [response = std::move(response)](const RecordedRequest&, Connection& connection) {
    connection.Send(response);
  };
}

}  // namespace quorvane::standins
