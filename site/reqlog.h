// The request log: one line per answered request, for tests to read.
//
// Fields, separated by tabs:
//   time (UTC, ISO 8601 with milliseconds), method, the request target exactly as
//   received (absolute form included; raw bytes above 0x7F kept as they came), host,
//   session cookie sent (0/1), status, body bytes sent (as they went on the wire, so
//   compressed when compressed), content coding of the answer ("gzip", "deflate" or "-"),
//   the connection's number (from 1, in accept order) and the request's number on its
//   connection (from 1).
// Control bytes and backslashes in the text fields are written as \xNN, so that a line
// always stays one line with ten fields.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

namespace site {

struct LogEntry {
  std::string method;
  std::string target;
  std::string host;
  bool cookie = false;
  int status = 0;
  size_t bytes = 0;
  std::string coding;  // empty: none
  uint64_t connection = 0;
  size_t request = 0;
};

std::string FormatLogLine(const LogEntry& e, std::chrono::system_clock::time_point when);

class RequestLog {
 public:
  ~RequestLog();
  // Appends to the file; false when it cannot be opened.
  bool Open(const std::string& path);
  // Writes and flushes one line; does nothing when no file is open. Thread-safe.
  void Write(const LogEntry& e);

 private:
  std::mutex mutex_;
  std::FILE* file_ = nullptr;
};

}  // namespace site
