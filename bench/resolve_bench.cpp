// A whole resolve through the real window (offscreen), against the loopback
// stand-ins, beside libcurl and the curl tool making the same two requests: the
// resolver's GET and the size probe's HEAD.
#include "app/qt/application.h"
#include "resolve/resolver_exchange.h"
#include "standins/download_standin.h"
#include "standins/resolver_standin.h"

#include <QApplication>
#include <QPushButton>

#include "plain_curl.h"

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

using namespace quorvane;

struct StandIns {
  standins::DownloadStandin downloads{{{"/files/demo.zip", 12345678}}};
  standins::ResolverStandin resolver{
      {{BuiltInEndpoints().SampleShareLink, "演示文件.zip", downloads.Url("/files/demo.zip"), false}}};

  std::string ResolverUrl() const {
    return ResolverRequestAddress(resolver.Address(), BuiltInEndpoints().SampleShareLink, BuiltInEndpoints().ResolverToken);
  }
};

StandIns& Servers() {
  static StandIns servers;
  return servers;
}

void BM_ResolveThroughTheWindow(benchmark::State& state) {
  Endpoints endpoints = BuiltInEndpoints();
  endpoints.ResolverAddress = Servers().resolver.Address();
  Application application(endpoints);
  application.Window().ShowCentred();
  auto* button = application.Window().findChild<QPushButton*>(QStringLiteral("按钮1"));
  for (auto _ : state) {
    button->click();
  }
  if (application.Globals().DownloadAddress.empty()) {
    state.SkipWithError("the resolve found no address");
  }
}

void BM_PlainLibcurlTwoRequests(benchmark::State& state) {
  const std::string resolverUrl = Servers().ResolverUrl();
  const std::string fileUrl = Servers().downloads.Url("/files/demo.zip");
  for (auto _ : state) {
    PlainCurlRequest(resolverUrl, false);
    PlainCurlRequest(fileUrl, true);
  }
}

void BM_CurlCommandTwoRequests(benchmark::State& state) {
  const std::string command = "curl -s -o /dev/null --noproxy '*' '" + Servers().ResolverUrl() +
                              "' && curl -s -I -o /dev/null --noproxy '*' '" +
                              Servers().downloads.Url("/files/demo.zip") + "'";
  for (auto _ : state) {
    benchmark::DoNotOptimize(std::system(command.c_str()));
  }
}

}  // namespace

BENCHMARK(BM_ResolveThroughTheWindow)->Iterations(200)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_PlainLibcurlTwoRequests)->Iterations(200)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_CurlCommandTwoRequests)->Iterations(100)->Unit(benchmark::kMicrosecond)->UseRealTime();

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
