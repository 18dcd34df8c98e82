// A small timing harness that builds natively and for Windows (where no benchmark library
// is installed): runs a body repeatedly for at least a given time and reports the best
// per-iteration time of several rounds.
#pragma once

#include <chrono>
#include <cstdio>
#include <functional>

// Milliseconds on the steady clock, for timing single events.
inline double NowMs() {
  return std::chrono::duration<double, std::milli>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

struct Timing {
  double bestSeconds;  // per iteration, best round
  long iterations;     // per round
};

inline Timing TimeIt(const std::function<void()>& body, double minRoundSeconds = 0.2,
                     int rounds = 5) {
  using Clock = std::chrono::steady_clock;
  long n = 1;
  for (;;) {  // find an iteration count that fills a round
    auto t0 = Clock::now();
    for (long i = 0; i < n; ++i) body();
    double s = std::chrono::duration<double>(Clock::now() - t0).count();
    if (s >= minRoundSeconds || n > (1L << 30)) break;
    n *= s > 0 ? std::max(2L, static_cast<long>(minRoundSeconds / s * 1.2)) : 10;
  }
  double best = 1e300;
  for (int r = 0; r < rounds; ++r) {
    auto t0 = Clock::now();
    for (long i = 0; i < n; ++i) body();
    double s = std::chrono::duration<double>(Clock::now() - t0).count() / static_cast<double>(n);
    if (s < best) best = s;
  }
  return {best, n};
}
