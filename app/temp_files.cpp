#include "temp_files.h"

#include <windows.h>
// after windows.h
#include <knownfolders.h>
#include <shlobj.h>

#include <functional>
#include <set>
#include <string>

#include "client_ids.h"
#include "os.h"
#include "toolkit.h"
#include "wide.h"

namespace {

std::set<std::string> written;

// Whether a new file can be made in `folder` (which ends in a backslash).
bool TakesFiles(const std::string& folder) {
  if (folder.empty() || !g_os.pathInfo(folder.c_str()).directory) return false;
  std::string probe = folder + "vs-" + std::to_string(GetCurrentProcessId()) + ".probe";
  OsFile file = g_os.open(probe.c_str(), OS_CREATE_ALWAYS);
  if (!file) return false;
  bool wrote = g_os.write(file, "x", 1) == 1;
  g_os.close(file);
  g_os.remove(probe.c_str());
  return wrote;
}

// The user's local application data folder (UTF-8, no trailing backslash), or "".
std::string LocalAppData() {
  std::string folder;
  PWSTR wide = nullptr;
  if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_CREATE, nullptr, &wide)) &&
      wide)
    folder = PathFromWide(wide);
  CoTaskMemFree(wide);
  if (folder.empty()) {
    wchar_t profile[MAX_PATH] = L"";
    DWORD length = GetEnvironmentVariableW(L"LOCALAPPDATA", profile, MAX_PATH);
    if (length > 0 && length < MAX_PATH) folder = PathFromWide(profile);
  }
  while (!folder.empty() && folder.back() == '\\') folder.pop_back();
  return folder;
}

// The program's own temporary folder, made when missing.
std::string OwnTempFolder() {
  std::string base = LocalAppData();
  if (base.empty()) {
    // Still a full path, beside the system's own folders.
    wchar_t windows[MAX_PATH] = L"";
    UINT length = GetWindowsDirectoryW(windows, MAX_PATH);
    base = length > 0 && length < MAX_PATH ? PathFromWide(windows).substr(0, 2) : "C:";
  }
  std::string folder = base + "\\VideoSearch\\";
  CreateDirectoryW(WideFromPath(folder).c_str(), nullptr);
  folder += "Temp\\";
  CreateDirectoryW(WideFromPath(folder).c_str(), nullptr);
  return folder;
}

std::string ChooseTempFolder() {
  std::string system = g_os.tempPath();
  if (!system.empty() && system.back() != '\\') system += '\\';
  return TakesFiles(system) ? system : OwnTempFolder();
}

}  // namespace

const std::string& TempFolder() {
  static const std::string folder = ChooseTempFolder();
  return folder;
}

void TempFileWritten(const char* name) { written.insert(name); }

void DeleteTempFiles() {
  for (const std::string& name : written) FileDelete(TempFile(name.c_str()));
  written.clear();
}

TransferResult FetchTempFile(const String& address, const char* name, const TransferLimits& limits,
                             TransferKind kind, int givesWayTo, bool* gaveWay) {
  std::function<bool()> givesWay;
  if (givesWayTo != -1)
    givesWay = [givesWayTo] { return EventQueued(EVENT_GADGET, WIN_MAIN, givesWayTo) > 0; };
  TransferResult result = TransferFile(address, TempFile(name), limits, kind, givesWay, gaveWay);
  if (result.Ok()) TempFileWritten(name);
  return result;
}
