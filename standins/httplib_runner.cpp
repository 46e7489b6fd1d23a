#include "standins/httplib_runner.h"

#include <httplib.h>

#include <chrono>

namespace quorvane::standins {

HttplibRunner::HttplibRunner() : server_(std::make_unique<httplib::Server>()) {}

HttplibRunner::~HttplibRunner() {
  server_->stop();
  if (thread_.joinable()) {
    thread_.join();
  }
}

void HttplibRunner::Start() {
  port_ = server_->bind_to_any_port("127.0.0.1");
  thread_ = std::thread([this] { server_->listen_after_bind(); });
  while (!server_->is_running()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

std::string HttplibRunner::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

}  // namespace quorvane::standins
