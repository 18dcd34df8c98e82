// Cost of the site's own work per request, without the network: the search over the
// catalogue, the result page in Windows-1251, request head rewriting and query parsing.
// The whole server under load is measured by bench/site_load.sh.
#include <benchmark/benchmark.h>

#include "catalogue.h"
#include "cp1251.h"
#include "pages.h"
#include "request.h"

namespace {

// "Фантастика 720" in Windows-1251, as the program sends it.
const char kDefaultQuery[] = "\xD4\xE0\xED\xF2\xE0\xF1\xF2\xE8\xEA\xE0 720";

void BM_SearchDefaultQuery(benchmark::State& state) {
  std::vector<std::string> words = site::QueryWords(kDefaultQuery);
  for (auto _ : state) benchmark::DoNotOptimize(site::Search(words));
}
BENCHMARK(BM_SearchDefaultQuery);

void BM_SearchPage(benchmark::State& state) {
  // 0: the default query (11 results); 1: "720" (56 results)
  std::string text = state.range(0) == 0 ? kDefaultQuery : "720";
  site::Visitor visitor;
  visitor.logged_in = true;
  size_t bytes = 0;
  for (auto _ : state) {
    std::vector<std::string> words = site::QueryWords(text);
    std::string page = site::SearchPage(site::Search(words), words, visitor, false);
    bytes += page.size();
    benchmark::DoNotOptimize(page);
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
}
BENCHMARK(BM_SearchPage)->Arg(0)->Arg(1);

void BM_NormalizeHead(benchmark::State& state) {
  std::string head =
      "GET http://zq.test:80/gsearch.php?section=video&q=\xD4\xE0\xED\xF2\xE0\xF1\xF2\xE8\xEA"
      "\xE0%20720&name=1 HTTP/1.1\r\n"
      "Accept: */*\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 8.0; Win32)\r\n"
      "Host: zq.test\r\nConnection: Keep-Alive\r\nCookie: zqsid=0123456789abcdef\r\n\r\n";
  site::HeadLimits limits;
  for (auto _ : state) benchmark::DoNotOptimize(site::NormalizeHead(head, limits));
}
BENCHMARK(BM_NormalizeHead);

void BM_SearchText(benchmark::State& state) {
  std::string query = "section=video&q=%D4%E0%ED%F2%E0%F1%F2%E8%EA%E0%20720&name=1";
  for (auto _ : state) benchmark::DoNotOptimize(site::SearchText(query));
}
BENCHMARK(BM_SearchText);

void BM_Utf8ToCp1251(benchmark::State& state) {
  std::string text;
  for (const site::Video& v : site::Catalogue()) text += v.title + " " + v.description + "\n";
  for (auto _ : state) benchmark::DoNotOptimize(site::Utf8ToCp1251(text));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_Utf8ToCp1251);

}  // namespace

BENCHMARK_MAIN();
