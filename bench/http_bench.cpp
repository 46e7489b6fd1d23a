// The HTTP clients' own overhead: 200 requests each, against one loopback stand-in,
// beside libcurl used plainly (a fresh handle per request, as the clients use) and
// beside the curl command-line tool.
#include "resolve/size_probe.h"
#include "standins/raw_http_server.h"
#include "web/web_access.h"

#include "plain_curl.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

namespace {

using namespace quorvane;

constexpr int kRequests = 200;

// Answers at once, or (for paths under /slow) after 5 ms, as a server across a real
// network would: the clients' fixed cost set against a realistic round trip.
standins::RawHttpServer& Server() {
  static standins::RawHttpServer server([](const standins::RecordedRequest& request, standins::Connection& connection) {
    if (request.Target().starts_with("/slow")) {
      connection.Pause(std::chrono::milliseconds(5));
    }
    if (request.Method() == "HEAD") {
      connection.Send("HTTP/1.1 200 OK\r\nContent-Length: 1234567890\r\nConnection: close\r\n\r\n");
    } else {
      connection.Send(standins::HttpResponse(200, "{\"files\":\"a.zip\",\"download\":\"http://h/f\",\"error\":0}"));
    }
  });
  return server;
}

std::string PanUrl(const benchmark::State& state) {
  return Server().Url(state.range(0) == 0 ? "/pan?url=x" : "/slow/pan?url=x");
}

void BM_FetchText(benchmark::State& state) {
  const std::string url = PanUrl(state);
  for (auto _ : state) {
    benchmark::DoNotOptimize(FetchText(url));
  }
}

void BM_PlainLibcurlGet(benchmark::State& state) {
  const std::string url = PanUrl(state);
  for (auto _ : state) {
    PlainCurlRequest(url, false);
  }
}

void BM_CurlCommandGet(benchmark::State& state) {
  const std::string command = "curl -s -o /dev/null --noproxy '*' '" + Server().Url("/pan?url=x") + "'";
  for (auto _ : state) {
    benchmark::DoNotOptimize(std::system(command.c_str()));
  }
}

void BM_ProbeFileSize(benchmark::State& state) {
  const std::string url = Server().Url("/file.zip");
  for (auto _ : state) {
    benchmark::DoNotOptimize(ProbeFileSize(url));
  }
}

void BM_PlainLibcurlHead(benchmark::State& state) {
  const std::string url = Server().Url("/file.zip");
  for (auto _ : state) {
    PlainCurlRequest(url, true);
  }
}

void BM_CurlCommandHead(benchmark::State& state) {
  const std::string command = "curl -s -I -o /dev/null --noproxy '*' '" + Server().Url("/file.zip") + "'";
  for (auto _ : state) {
    benchmark::DoNotOptimize(std::system(command.c_str()));
  }
}

}  // namespace

// Arg: 0 answers at once, 1 after 5 ms.
BENCHMARK(BM_FetchText)->Arg(0)->Arg(1)->Iterations(kRequests)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_PlainLibcurlGet)->Arg(0)->Arg(1)->Iterations(kRequests)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_CurlCommandGet)->Iterations(kRequests)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_ProbeFileSize)->Iterations(kRequests)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_PlainLibcurlHead)->Iterations(kRequests)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_CurlCommandHead)->Iterations(kRequests)->Unit(benchmark::kMicrosecond)->UseRealTime();

BENCHMARK_MAIN();
