#include "temp_dir.h"

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

std::string MakeScratchDir() {
  static std::atomic<int> serial{0};
  fs::path dir = fs::temp_directory_path() /
                 ("vs-test-" + std::to_string(static_cast<long>(std::time(nullptr))) + "-" +
                  std::to_string(serial++));
  fs::remove_all(dir);
  fs::create_directories(dir);
  std::string s = dir.string();
  s += static_cast<char>(fs::path::preferred_separator);
  return s;
}

void RemoveScratchDir(const std::string& dir) {
  std::error_code ignored;
  fs::remove_all(dir, ignored);
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteWholeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool FileExists(const std::string& path) { return fs::exists(path); }
