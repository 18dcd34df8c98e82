// Started by the launcher tests: writes its command line and working directory to the
// file named by the environment variable VS_HELPER_OUT, then exits.
#include <windows.h>

#include <cstdio>

int main() {
  char out[MAX_PATH] = "";
  if (!GetEnvironmentVariableA("VS_HELPER_OUT", out, sizeof out)) return 2;
  char directory[MAX_PATH] = "";
  GetCurrentDirectoryA(sizeof directory, directory);
  char partial[MAX_PATH + 8];
  std::snprintf(partial, sizeof partial, "%s.part", out);
  FILE* file = std::fopen(partial, "wb");
  if (!file) return 3;
  std::fprintf(file, "%s\n%s\n", GetCommandLineA(), directory);
  std::fclose(file);
  // Appear all at once, so that the test never reads half a file.
  return MoveFileA(partial, out) ? 0 : 4;
}
