#include "temp_dir.h"

#include <ctime>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

std::string MakeScratchDir() {
  // Test programs run in parallel: a random tag keeps their directories apart.
  static std::mt19937_64 rng(std::random_device{}() ^
                             static_cast<uint64_t>(std::time(nullptr)) << 20);
  fs::path dir;
  do dir = fs::temp_directory_path() / ("vs-test-" + std::to_string(rng()));
  while (!fs::create_directories(dir));
  std::string s = dir.u8string();
  s += static_cast<char>(fs::path::preferred_separator);
  return s;
}

void RemoveScratchDir(const std::string& dir) {
  std::error_code ignored;
  fs::remove_all(fs::u8path(dir), ignored);
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(fs::u8path(path), std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteWholeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(fs::u8path(path), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool FileExists(const std::string& path) { return fs::exists(fs::u8path(path)); }
