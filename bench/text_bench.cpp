// Throughput of the routines that read whole answers, at 1 KiB, 1 MiB and 16 MiB.
// Each must stay linear: bytes per second at 16 MiB close to that at 1 MiB.
#include "resolve/unescape.h"
#include "util/regex_object.h"
#include "util/text_search.h"
#include "web/encodings.h"

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <string>

namespace {

using namespace quorvane;

constexpr std::int64_t kSizes[] = {1 << 10, 1 << 20, 16 << 20};

// `unit` repeated to `size` bytes, then `tail`.
std::string Repeated(std::string_view unit, std::size_t size, std::string_view tail = {}) {
  std::string text;
  text.reserve(size + tail.size());
  while (text.size() + unit.size() <= size) {
    text.append(unit);
  }
  text.append(tail);
  return text;
}

void SetBytes(benchmark::State& state, std::size_t bytes) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(bytes));
}

// A JSON answer whose markers sit at the very end, so the whole text is searched.
void BM_TextBetweenAscii(benchmark::State& state) {
  const std::string answer = Repeated("{\"files\":\"x\",\"size\":12345,\"d\":\"http://host/path\"} ",
                                      static_cast<std::size_t>(state.range(0)),
                                      "\"download\":\"http://h/f.zip\",\"error\":0");
  for (auto _ : state) {
    benchmark::DoNotOptimize(TextBetween(answer, "\"download\":\"", "\",\"error"));
  }
  SetBytes(state, answer.size());
}

// Chinese text: every candidate must be checked against character boundaries.
void BM_TextBetweenChinese(benchmark::State& state) {
  const std::string page = Repeated("\xC0\xDB\xBC\xC6\xB7\xC3\xCE\xCA\xA3\xBA\xB5\xE3\xBB\xF7 abc ",
                                    static_cast<std::size_t>(state.range(0)),
                                    "\xC0\xDB\xBC\xC6\xB7\xC3\xCE\xCA\xA3\xBA" "1234&#10;");
  for (auto _ : state) {
    benchmark::DoNotOptimize(TextBetween(page, "\xB7\xC3\xCE\xCA\xA3\xBA" "1", "&#10;"));
  }
  SetBytes(state, page.size());
}

void BM_RemoveTexts(benchmark::State& state) {
  const std::string answer = Repeated("{\"files\":\"a\\/b.zip\",\"download\":\"http:\\/\\/h\\/f\"}",
                                      static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    benchmark::DoNotOptimize(RemoveTexts(answer, "\\"));
  }
  SetBytes(state, answer.size());
}

void BM_UnescapeUnicode(benchmark::State& state) {
  const std::string name = Repeated("\\u4e2d\\u6587-file_", static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    benchmark::DoNotOptimize(UnescapeUnicode(name));
  }
  SetBytes(state, name.size());
}

void BM_Utf8ToGbkAscii(benchmark::State& state) {
  const std::string answer = Repeated("{\"files\":\"x\",\"download\":\"http://h/f\"} ",
                                      static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    benchmark::DoNotOptimize(Utf8ToGbk(answer));
  }
  SetBytes(state, answer.size());
}

void BM_Utf8ToGbkChinese(benchmark::State& state) {
  const std::string answer = Repeated("\xE4\xB8\xAD\xE6\x96\x87 name ", static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    benchmark::DoNotOptimize(Utf8ToGbk(answer));
  }
  SetBytes(state, answer.size());
}

// A hosting page of unclosed notice markers, the record on the last line: the notice
// search must pass over each line once, where the expression engine went back to
// every marker (quadratic: minutes at 320 KiB).
void BM_NoticeRecordAfterUnclosedMarkers(benchmark::State& state) {
  const std::string open = Utf8ToGbk("\xE9\x85\x8D" "3\xE3\x80\x90");  // 配3【
  const std::string close = Utf8ToGbk("\xE3\x80\x91");                // 】
  const std::string page = Repeated(open, static_cast<std::size_t>(state.range(0)), "\n" + open + "v|f|m|w" + close);
  for (auto _ : state) {
    benchmark::DoNotOptimize(FirstBetweenOnOneLine(page, open, close));
  }
  SetBytes(state, page.size());
}

// The same page through the expression object with the program's pattern, whose
// runaway match is cut off by its time limit: bounded, but it finds nothing.
void BM_NoticeRecordByExpression(benchmark::State& state) {
  const std::string open = Utf8ToGbk("\xE9\x85\x8D" "3\xE3\x80\x90");
  const std::string page =
      Repeated(open, static_cast<std::size_t>(state.range(0)), "\n" + open + "v|f|m|w" + Utf8ToGbk("\xE3\x80\x91"));
  RegexObject regex;
  regex.Prepare(open + "(.*?)" + Utf8ToGbk("\xE3\x80\x91"));
  for (auto _ : state) {
    benchmark::DoNotOptimize(regex.Search(page));
  }
  SetBytes(state, page.size());
}

void Sizes(benchmark::internal::Benchmark* benchmark) {
  for (const std::int64_t size : kSizes) {
    benchmark->Arg(size);
  }
  benchmark->Unit(benchmark::kMicrosecond);
}

}  // namespace

BENCHMARK(BM_TextBetweenAscii)->Apply(Sizes);
BENCHMARK(BM_TextBetweenChinese)->Apply(Sizes);
BENCHMARK(BM_RemoveTexts)->Apply(Sizes);
BENCHMARK(BM_UnescapeUnicode)->Apply(Sizes);
BENCHMARK(BM_Utf8ToGbkAscii)->Apply(Sizes);
BENCHMARK(BM_Utf8ToGbkChinese)->Apply(Sizes);
BENCHMARK(BM_NoticeRecordAfterUnclosedMarkers)->Apply(Sizes)->Arg(320 << 10);
BENCHMARK(BM_NoticeRecordByExpression)->Arg(20 << 10)->Arg(320 << 10)->Unit(benchmark::kMillisecond);

// glibc hands large blocks back to the kernel on free and faults them in again on the
// next allocation; in a virtual machine that page-fault cost swamps the routines
// themselves and varies from run to run. Keeping freed memory makes the figures
// measure the code. Pass --keep-allocator-defaults to see the untuned figures.
int main(int argc, char** argv) {
  bool tune = true;
  for (int i = 1; i < argc; ++i) {
    if (std::string_view(argv[i]) == "--keep-allocator-defaults") {
      tune = false;
      argv[i] = argv[argc - 1];
      --argc;
      break;
    }
  }
  if (tune) {
    mallopt(M_MMAP_THRESHOLD, 256 << 20);
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
