// Launcher, question box and pause (see launcher.h).
#include "launcher.h"

#include <windows.h>
// after windows.h
#include <objbase.h>
#include <shellapi.h>

#include <new>
#include <string>
#include <vector>

#include "wide.h"

namespace {

// Windows that AskUser disabled, with the thread that did it, so that nested or
// concurrent questions re-enable only their own.
struct DisabledWindow {
  HWND window;
  DWORD thread;
};

struct DisabledList {
  CRITICAL_SECTION lock;
  std::vector<DisabledWindow> windows;
  DisabledList() { InitializeCriticalSection(&lock); }
};

DisabledList& Disabled() {
  static DisabledList list;
  return list;
}

BOOL CALLBACK DisableOne(HWND window, LPARAM) {
  DWORD thread = GetCurrentThreadId();
  if (GetWindowThreadProcessId(window, nullptr) != thread) return TRUE;
  if (!IsWindowVisible(window) || !IsWindowEnabled(window)) return TRUE;
  if (window == GetForegroundWindow()) return TRUE;
  EnableWindow(window, FALSE);
  DisabledList& list = Disabled();
  EnterCriticalSection(&list.lock);
  list.windows.push_back({window, thread});
  LeaveCriticalSection(&list.lock);
  return TRUE;
}

void EnableOwnWindows() {
  DWORD thread = GetCurrentThreadId();
  DisabledList& list = Disabled();
  std::vector<HWND> enable;
  EnterCriticalSection(&list.lock);
  for (auto it = list.windows.begin(); it != list.windows.end();) {
    if (it->thread == thread) {
      enable.push_back(it->window);
      it = list.windows.erase(it);
    } else {
      ++it;
    }
  }
  LeaveCriticalSection(&list.lock);
  for (HWND window : enable) EnableWindow(window, TRUE);
}

// What a background start needs after its caller has gone on.
struct BackgroundLaunch {
  std::string target, parameters, directory;
  HWND notify;
  UINT message;
  WPARAM tag;
};

DWORD WINAPI LaunchThread(void* parameter) {
  auto* launch = static_cast<BackgroundLaunch*>(parameter);
  // The shell's default action may use COM, which wants an apartment on this thread.
  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  int started = LaunchProgram(launch->target, launch->parameters, launch->directory);
  if (SUCCEEDED(com)) CoUninitialize();
  if (launch->notify) PostMessageW(launch->notify, launch->message, launch->tag, started);
  delete launch;
  return 0;
}

}  // namespace

int LaunchProgram(TextArg target, TextArg parameters, TextArg directory) {
  std::wstring file = WideFromPath(target.view());
  if (file.size() > LAUNCH_TARGET_LIMIT) return 0;
  std::wstring params = WideFromPath(parameters.view());
  std::wstring workDir = WideFromPath(directory.view());

  std::wstring line = (!file.empty() && file[0] == L'"') ? file : L"\"" + file + L"\"";
  if (!params.empty()) line += L" " + params;
  // CreateProcessW may write into the command line.
  std::vector<wchar_t> commandLine(line.begin(), line.end());
  commandLine.push_back(L'\0');

  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION process = {};
  if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS,
                     nullptr, workDir.empty() ? nullptr : workDir.c_str(), &startup, &process)) {
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 1;
  }

  // Not a program: let the shell open it with its default action.
  if (workDir.empty()) {
    size_t slash = file.find_last_of(L'\\');
    if (slash != std::wstring::npos && slash > 0) workDir = file.substr(0, slash + 1);
  }
  SHELLEXECUTEINFOW shell = {};
  shell.cbSize = sizeof shell;
  // No error dialog may stop the program: failure is reported by the result alone.
  shell.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  shell.lpVerb = nullptr;
  shell.lpFile = file.c_str();
  shell.lpParameters = params.empty() ? nullptr : params.c_str();
  shell.lpDirectory = workDir.empty() ? nullptr : workDir.c_str();
  shell.nShow = SW_SHOWNORMAL;
  if (!ShellExecuteExW(&shell)) return 0;
  if (shell.hProcess) CloseHandle(shell.hProcess);
  return 1;
}

bool LaunchInBackground(TextArg target, TextArg parameters, TextArg directory, HWND notify,
                        UINT message, WPARAM tag) {
  if (target.view().empty() || WideFromPath(target.view()).size() > LAUNCH_TARGET_LIMIT)
    return false;
  auto* launch = new (std::nothrow) BackgroundLaunch{std::string(target.view()),
                                                     std::string(parameters.view()),
                                                     std::string(directory.view()),
                                                     notify,
                                                     message,
                                                     tag};
  if (!launch) return false;
  HANDLE thread = CreateThread(nullptr, 0, LaunchThread, launch, 0, nullptr);
  if (!thread) {
    delete launch;
    return false;
  }
  CloseHandle(thread);
  return true;
}

int AskUser(TextArg title, TextArg text, int flags) {
  return AskUser(title, WideFromText(text.view()), flags);
}

int AskUser(TextArg title, std::wstring_view text, int flags) {
  std::wstring titleCopy = WideFromText(title.view());
  std::wstring textCopy(text);
  EnumWindows(DisableOne, 0);
  HWND foreground = GetForegroundWindow();
  DWORD process = 0;
  if (foreground) GetWindowThreadProcessId(foreground, &process);
  HWND owner = process == GetCurrentProcessId() ? foreground : nullptr;
  int result = MessageBoxW(owner, textCopy.c_str(), titleCopy.c_str(), static_cast<UINT>(flags));
  EnableOwnWindows();
  return result;
}

void Pause(int milliseconds) { Sleep(milliseconds > 0 ? static_cast<DWORD>(milliseconds) : 0); }
