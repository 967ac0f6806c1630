// Parsing speed of HTTP replies held in memory: framing by length and by chunks.
#include <benchmark/benchmark.h>

#include <algorithm>

#include "lib/net/kyhttpproto.h"

namespace {

class TMemoryNetStream : public TNetStream {
 public:
  explicit TMemoryNetStream(const std::string& data) : Data_(data) {}
  size_t Receive(void* buffer, size_t count) override {
    size_t n = std::min({count, size_t(16384), Data_.size() - Pos_});
    Data_.copy(static_cast<char*>(buffer), n, Pos_);
    Pos_ += n;
    return n;
  }
  using TNetStream::Send;
  void Send(const void*, size_t) override {}

 private:
  const std::string& Data_;
  size_t Pos_ = 0;
};

void Run(benchmark::State& state, const std::string& reply, size_t bodySize) {
  for (auto _ : state) {
    TMemoryNetStream s(reply);
    THttpResponse r = ReadHttpResponse(s);
    benchmark::DoNotOptimize(r.Body.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bodySize));
}

void BM_ContentLength(benchmark::State& state) {
  size_t size = static_cast<size_t>(state.range(0));
  std::string reply = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(size) +
                      "\r\n\r\n" + std::string(size, 'x');
  Run(state, reply, size);
}

void BM_Chunked(benchmark::State& state) {
  size_t size = static_cast<size_t>(state.range(0));
  std::string reply = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
  for (size_t done = 0; done < size; done += 1000) reply += "3e8\r\n" + std::string(1000, 'x') + "\r\n";
  reply += "0\r\n\r\n";
  Run(state, reply, (size + 999) / 1000 * 1000);
}

void BM_Decode(benchmark::State& state) {
  std::string body(static_cast<size_t>(state.range(0)), 'x');
  for (auto _ : state) benchmark::DoNotOptimize(DecodeHttpBody(body, "text/plain; charset=iso-8859-1"));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * body.size()));
}

}  // namespace

BENCHMARK(BM_ContentLength)->Arg(100)->Arg(1 << 20);
BENCHMARK(BM_Chunked)->Arg(1 << 20);
BENCHMARK(BM_Decode)->Arg(1 << 20);
BENCHMARK_MAIN();
