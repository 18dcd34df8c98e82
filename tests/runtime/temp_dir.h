// A scratch directory per test, removed afterwards, and small file helpers.
#pragma once

#include <string>

// A fresh directory path ending in a separator.
std::string MakeScratchDir();
void RemoveScratchDir(const std::string& dir);
std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);
