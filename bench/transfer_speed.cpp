// The download service's speed and cost on one big file, and its connection re-use on many
// small pages:
//   transfer_speed.exe file ADDRESS [ROUNDS]   downloads ADDRESS ROUNDS times (default 3)
//   transfer_speed.exe pages ADDRESS COUNT     fetches the page ADDRESS COUNT times
//   transfer_speed.exe check KIND ADDRESS      one transfer (page, picture, file): how it ended
//   transfer_speed.exe resume ADDRESS PARTIAL  a video file, resumed after each failure
// Prints bytes, seconds, MiB/s and the process's CPU time (GetProcessTimes) per round.
// Run through bench/transfer_speed.sh, which starts the site, points http_proxy at it and
// measures curl beside it.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "seqfile.h"
#include "timing.h"
#include "transfer.h"

namespace {

// User and kernel seconds the process has used so far.
void CpuSeconds(double& user, double& kernel) {
  FILETIME created, ended, k, u;
  GetProcessTimes(GetCurrentProcess(), &created, &ended, &k, &u);
  auto seconds = [](const FILETIME& t) {
    return static_cast<double>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) /
           1e7;
  };
  user = seconds(u);
  kernel = seconds(k);
}

int File(const String& address, int rounds) {
  const std::string target = TempDirectory() + "transfer-speed.bin";
  TransferLimits limits = PageLimits();
  limits.totalMs = 0;
  int failures = 0;
  for (int round = 1; round <= rounds; ++round) {
    double user0, kernel0, user1, kernel1;
    CpuSeconds(user0, kernel0);
    double t0 = NowMs();
    Transfer* transfer = TransferBegin(address, target, limits);
    if (!transfer) return 1;
    WaitForSingleObject(TransferSignal(transfer), INFINITE);
    TransferResult result = TransferResultOf(transfer);
    double seconds = (NowMs() - t0) / 1000;
    CpuSeconds(user1, kernel1);
    if (result.Ok() && !TransferSave(transfer, target, true, nullptr)) ++failures;
    TransferRelease(transfer);
    if (!result.Ok()) ++failures;
    std::printf(
        "transfer_speed: round %d: %s, %llu bytes in %.2f s, %.1f MiB/s, CPU %.2f s (user %.2f, "
        "kernel %.2f)\n",
        round, result.Ok() ? "done" : TransferFailureText(result).c_str(),
        static_cast<unsigned long long>(result.bytes), seconds,
        static_cast<double>(result.bytes) / 1048576 / seconds, user1 - user0 + kernel1 - kernel0,
        user1 - user0, kernel1 - kernel0);
    std::fflush(stdout);
  }
  return failures == 0 ? 0 : 1;
}

int Pages(const String& address, int count) {
  const std::string target = TempDirectory() + "transfer-speed.htm";
  int failures = 0;
  double t0 = NowMs();
  for (int i = 0; i < count; ++i)
    if (!TransferFile(address, target).Ok()) ++failures;
  std::printf("transfer_speed: %d pages in %.2f s, %d failed\n", count, (NowMs() - t0) / 1000,
              failures);
  return failures == 0 ? 0 : 1;
}

// One transfer of the given kind, and how it ended (the words in Windows-1251).
int Check(const char* kind, const String& address) {
  const std::string target = TempDirectory() + "transfer-check.bin";
  TransferKind asked = std::string(kind) == "file"      ? TransferKind::FILE
                       : std::string(kind) == "picture" ? TransferKind::PICTURE
                                                        : TransferKind::PAGE;
  TransferLimits limits = PageLimits(asked == TransferKind::FILE ? 0 : 32 << 20);
  double t0 = NowMs();
  TransferResult result = TransferFile(address, target, limits, asked);
  std::printf("transfer_speed: %s %s: %s, HTTP %d, %llu bytes, validator [%s], %.0f ms\n", kind,
              address.c_str(), result.Ok() ? "done" : TransferFailureText(result).c_str(),
              result.httpStatus, static_cast<unsigned long long>(result.bytes),
              result.validator.c_str(), NowMs() - t0);
  return result.Ok() ? 0 : 1;
}

// Downloads a video file into `partial`, resuming after each failure (at most five tries),
// then puts it at `partial` + ".done"; says how each try ended.
int Resume(const String& address, const std::string& partial) {
  TransferResume resume{partial, ""};
  TransferLimits limits = PageLimits();
  limits.totalMs = 0;
  for (int attempt = 1; attempt <= 5; ++attempt) {
    Transfer* transfer = TransferBegin(address, partial, limits, TransferKind::FILE, &resume);
    if (!transfer) return 1;
    WaitForSingleObject(TransferSignal(transfer), INFINITE);
    TransferResult result = TransferResultOf(transfer);
    std::printf("transfer_speed: try %d: %s, HTTP %d, kept %llu, %llu bytes, validator [%s]\n",
                attempt, result.Ok() ? "done" : TransferFailureText(result).c_str(),
                result.httpStatus, static_cast<unsigned long long>(result.resumedFrom),
                static_cast<unsigned long long>(result.bytes), result.validator.c_str());
    bool saved = result.Ok() && TransferSave(transfer, partial + ".done", true, nullptr);
    TransferRelease(transfer);
    if (result.Ok()) return saved ? 0 : 1;
    resume.validator = result.validator;
  }
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr,
                 "usage: transfer_speed file ADDRESS [ROUNDS] | pages ADDRESS COUNT | check KIND "
                 "ADDRESS | resume ADDRESS PARTIAL\n");
    return 2;
  }
  const std::string mode = argv[1];
  const int number = argc > 3 ? std::atoi(argv[3]) : 3;
  int rc = mode == "check" && argc > 3    ? Check(argv[2], argv[3])
           : mode == "resume" && argc > 3 ? Resume(argv[2], argv[3])
           : mode == "pages"              ? Pages(argv[2], number)
                                          : File(argv[2], number);
  TransfersEnd();
  return rc;
}
