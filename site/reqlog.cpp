#include "reqlog.h"

#include <ctime>

namespace site {
namespace {

void AppendField(std::string& out, const std::string& text) {
  for (unsigned char c : text) {
    if (c < 0x20 || c == 0x7F || c == '\\') {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
}

}  // namespace

std::string FormatLogLine(const LogEntry& e, std::chrono::system_clock::time_point when) {
  using namespace std::chrono;
  std::time_t tt = system_clock::to_time_t(when);
  auto ms = duration_cast<milliseconds>(when.time_since_epoch()).count() % 1000;
  std::tm tm{};
  gmtime_r(&tt, &tm);
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", tm.tm_year + 1900,
                tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<int>(ms));
  std::string line = stamp;
  line += '\t';
  AppendField(line, e.method);
  line += '\t';
  AppendField(line, e.target);
  line += '\t';
  AppendField(line, e.host);
  line += '\t';
  line += e.cookie ? '1' : '0';
  line += '\t';
  line += std::to_string(e.status);
  line += '\t';
  line += std::to_string(e.bytes);
  line += '\t';
  if (e.coding.empty()) {
    line += '-';
  } else {
    AppendField(line, e.coding);
  }
  line += '\t';
  line += std::to_string(e.connection);
  line += '\t';
  line += std::to_string(e.request);
  line += '\n';
  return line;
}

RequestLog::~RequestLog() {
  if (file_) std::fclose(file_);
}

bool RequestLog::Open(const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (file_) std::fclose(file_);
  file_ = std::fopen(path.c_str(), "ab");
  return file_ != nullptr;
}

void RequestLog::Write(const LogEntry& e) {
  std::string line = FormatLogLine(e, std::chrono::system_clock::now());
  std::lock_guard<std::mutex> lock(mutex_);
  if (!file_) return;
  std::fwrite(line.data(), 1, line.size(), file_);
  std::fflush(file_);
}

}  // namespace site
