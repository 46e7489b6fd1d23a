#include "handoff/aria2_agent.h"

#include "handoff/file_download.h"
#include "handoff/file_names.h"
#include "web/code_page_converter.h"
#include "web/curl_support.h"
#include "web/detached_worker.h"

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
  std::string url;
  std::string request;
  long timeoutMs = 0;
  bool answered = false;
  curl_support::ResponseCollector response;
};

void Perform(Aria2Exchange& exchange, const std::atomic<bool>& abort) {
  const curl_support::EasyHandle easy = curl_support::NewEasyHandle();
  if (!easy) {
    return;
  }
  CURL* handle = easy.get();
  const curl_support::HeaderList headers = curl_support::MakeHeaderList({"Content-Type: application/json"}, {"Expect"});
  curl_easy_setopt(handle, CURLOPT_URL, exchange.url.c_str());
  curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers.get());
  curl_support::SetMethodAndBody(handle, "POST", exchange.request, true);
  exchange.response.bodyCap = kAria2AnswerCap;
  exchange.response.guard.abort = &abort;
  curl_support::CollectResponse(handle, exchange.response);
  curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, std::min(exchange.timeoutMs, 1000L));
  curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, exchange.timeoutMs);
  if (curl_easy_perform(handle) != CURLE_OK) {
    return;
  }
  long status = 0;
  curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
  exchange.answered = status == 200;
}

}  // namespace

std::string Aria2Call(const Aria2Settings& settings, std::string_view method, std::string_view params) {
  auto exchange = std::make_shared<Aria2Exchange>();
  std::string list = settings.secret.empty() ? std::string() : JsonString("token:" + settings.secret);
  if (!params.empty()) {
    list += (list.empty() ? "" : ",") + std::string(params);
  }
  exchange->url = "http://" + settings.host + ":" + std::to_string(settings.port) + "/jsonrpc";
  exchange->request =
      R"({"jsonrpc":"2.0","id":"quorvane","method":)" + JsonString(method) + R"(,"params":[)" + list + "]}";
  exchange->timeoutMs = std::max<long>(1, static_cast<long>(settings.timeout.count()));
  // The window keeps painting and its timers tick while aria2 is asked.
  const bool inTime = RunDetached([exchange](const std::atomic<bool>& abort) { Perform(*exchange, abort); },
                                  CurrentEventPump(), Clock::now() + settings.timeout);
  return inTime && exchange->answered ? exchange->response.result.body : std::string();
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
