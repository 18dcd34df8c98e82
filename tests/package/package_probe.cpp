// Reads a file's version resource back as Windows does for its Properties, in UTF-8: "fixed
// A.B.C.D", then "LANGCP Key=Value" for each translation listed and each name shown.
#include <windows.h>

#include <vector>

static void Print(const wchar_t* text) {
  char bytes[1000];
  int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes, sizeof bytes, nullptr, nullptr);
  if (size == 0) return;
  bytes[size - 1] = '\n';
  DWORD written;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes, size, &written, nullptr);
}

int wmain(int argc, wchar_t** argv) {
  std::vector<char> data(argc == 2 ? GetFileVersionInfoSizeW(argv[1], nullptr) : 0);
  VS_FIXEDFILEINFO* fixed;
  WORD* pairs;
  UINT length, pairs_length;
  if (data.empty() || !GetFileVersionInfoW(argv[1], 0, data.size(), data.data()) ||
      !VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) ||
      !VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&pairs),
                      &pairs_length))
    return 2;
  wchar_t line[300];
  wsprintfW(line, L"fixed %u.%u.%u.%u", HIWORD(fixed->dwFileVersionMS),
            LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS),
            LOWORD(fixed->dwFileVersionLS));
  Print(line);
  for (UINT i = 0; i + 1 < pairs_length / sizeof(WORD); i += 2) {
    for (const wchar_t* key :
         {L"FileDescription", L"ProductName", L"ProductVersion", L"FileVersion",
          L"OriginalFilename", L"LegalCopyright", L"CompanyName"}) {
      wsprintfW(line, L"\\StringFileInfo\\%04x%04x\\%s", pairs[i], pairs[i + 1], key);
      wchar_t* value;
      bool found = VerQueryValueW(data.data(), line, reinterpret_cast<void**>(&value), &length);
      wsprintfW(line, L"%04x%04x %s=%s", pairs[i], pairs[i + 1], key, found ? value : L"(none)");
      Print(line);
    }
  }
  return 0;
}
