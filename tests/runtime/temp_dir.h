// A scratch directory per test, removed afterwards, and small file helpers. Paths are UTF-8,
// as the program's are (os.h).
#pragma once

#include <gtest/gtest.h>

#include <string>

// A fresh directory path ending in a separator.
std::string MakeScratchDir();
void RemoveScratchDir(const std::string& dir);
std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);

// A test whose every case gets a fresh directory `dir_`, removed with all it holds when the
// case ends. Fixtures that add their own SetUp or TearDown call these first and last.
class ScratchDirTest : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = MakeScratchDir(); }
  void TearDown() override { RemoveScratchDir(dir_); }
  std::string dir_;
};
