#include "handoff/aria2_agent.h"

#include "handoff/file_download.h"
#include "handoff/file_names.h"
#include "web/code_page_converter.h"
#include "web/detached_worker.h"
#include "web/wire_transfer.h"

#include <algorithm>
#include <cstdio>
#include <memory>

namespace quorvane {
namespace {

// A JSON string of UTF-8 text.
std::string JsonString(std::string_view utf8) {
  std::string quoted = "\"";
  for (const char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += c;
    } else if (byte < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", byte);
      quoted += escape;
    } else {
      quoted += c;
    }
  }
  return quoted + "\"";
}

// What the caller and the call's worker share; the worker may outlive the caller's wait.
struct Aria2Exchange {
  WireRequest request;
  WireOptions options;
  WireOutcome outcome;
};

}  // namespace

std::string Aria2Call(const Aria2Settings& settings, std::string_view method, std::string_view params) {
  auto exchange = std::make_shared<Aria2Exchange>();
  std::string list = settings.secret.empty() ? std::string() : JsonString("token:" + settings.secret);
  if (!params.empty()) {
    list += (list.empty() ? "" : ",") + std::string(params);
  }
  WireRequest& request = exchange->request;
  request.url = "http://" + settings.host + ":" + std::to_string(settings.port) + "/jsonrpc";
  request.method = "POST";
  request.headerLines = {"Content-Type: application/json"};
  request.suppressed = {"Expect"};
  request.body = R"({"jsonrpc":"2.0","id":"quorvane","method":)" + JsonString(method) + R"(,"params":[)" + list + "]}";
  request.sendsBody = true;
  const std::chrono::milliseconds timeout = std::max(std::chrono::milliseconds(1), settings.timeout);
  exchange->options.connectLimit = std::min(timeout, std::chrono::milliseconds(1000));
  exchange->options.totalLimit = timeout;
  exchange->options.bodyCap = kAria2AnswerCap;
  // The window keeps painting and its timers tick while aria2 is asked.
  const bool inTime = RunDetached(
      [exchange](const std::atomic<bool>& abort) {
        WireOptions options = exchange->options;
        options.abort = &abort;
        exchange->outcome = TransferWire(exchange->request, options);
      },
      CurrentEventPump(), Clock::now() + settings.timeout);
  const WireOutcome& outcome = exchange->outcome;
  return inTime && outcome.completed && outcome.status == 200 ? outcome.result.body : std::string();
}

std::unique_ptr<DownloadAgent> Aria2Agent::Connect(const Aria2Settings& settings) {
  // A daemon with another secret answers with an error, never with a result.
  const std::string answer = Aria2Call(settings, "aria2.getVersion");
  if (answer.find("\"result\"") == std::string::npos || answer.find("\"version\"") == std::string::npos ||
      answer.find("\"error\"") != std::string::npos) {
    return nullptr;
  }
  return std::unique_ptr<DownloadAgent>(new Aria2Agent(settings));
}

void Aria2Agent::AddTask(std::string_view address, std::string_view fileName, std::string_view) {
  std::string options = "{\"user-agent\":" + JsonString(kDownloadUserAgent);
  if (!fileName.empty()) {
    // aria2 writes "out" relative to its folder: a cleaned name cannot leave it.
    options += ",\"out\":" + JsonString(CleanFileName(codepage::Transcode(fileName, codepage::kGbk, codepage::kUtf8)));
  }
  options += "}";
  pending_.push_back("[" + JsonString(codepage::Transcode(address, codepage::kGbk, codepage::kUtf8)) + "]," + options);
}

void Aria2Agent::CommitTasks2(int) {
  for (const std::string& params : pending_) {
    Aria2Call(settings_, "aria2.addUri", params);
  }
  pending_.clear();
}

}  // namespace quorvane
