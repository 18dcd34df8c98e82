// Launcher, question box and pause: programs started directly and through the shell from a
// folder whose name no single code page holds, targets that cannot start, the question box
// answered by a timer.
#include "launcher.h"

#include <gtest/gtest.h>

#include <string>

#include "startup.h"
#include "temp_dir.h"
#include "tk_test_util.h"
#include "wide.h"
// after windows.h
#include <commctrl.h>

namespace {

std::string OwnDirectory() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, sizeof path);
  std::string text = path;
  return text.substr(0, text.find_last_of('\\') + 1);
}

// Waits for the helper's report (UTF-8); empty when it did not come.
std::string WaitForReport(const std::string& path, int timeoutMilliseconds = 15000) {
  DWORD start = GetTickCount();
  while (GetTickCount() - start < static_cast<DWORD>(timeoutMilliseconds)) {
    if (FileExists(path)) return ReadWholeFile(path);
    Sleep(50);
  }
  return std::string();
}

void SetRegistryText(HKEY root, const std::string& key, const char* name,
                     const std::string& value) {
  HKEY handle;
  ASSERT_EQ(RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle, nullptr),
            ERROR_SUCCESS);
  std::wstring wide = WideFromPath(value);
  RegSetValueExW(handle, name ? WideFromPath(name).c_str() : nullptr, 0, REG_SZ,
                 reinterpret_cast<const BYTE*>(wide.c_str()),
                 static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(handle);
}

class LauncherTest : public ScratchDirTest {
 protected:
  void SetUp() override {
    ScratchDirTest::SetUp();
    // "tk launch 用户 Пользователь"
    directory_ = dir_ +
                 "tk launch \xE7\x94\xA8\xE6\x88\xB7 \xD0\x9F\xD0\xBE\xD0\xBB\xD1\x8C\xD0\xB7\xD0"
                 "\xBE\xD0\xB2\xD0\xB0\xD1\x82\xD0\xB5\xD0\xBB\xD1\x8C\\";
    CreateDirectoryW(WideFromPath(directory_).c_str(), nullptr);
    helper_ = directory_ + "helper app.exe";
    ASSERT_TRUE(CopyFileW(WideFromPath(OwnDirectory() + "tk_launch_helper.exe").c_str(),
                          WideFromPath(helper_).c_str(), FALSE))
        << "tk_launch_helper.exe must lie beside the test";
    report_ = directory_ + "report.txt";
    SetEnvironmentVariableW(L"VS_HELPER_OUT", WideFromPath(report_).c_str());
  }
  void Forget(const std::string& file) { DeleteFileW(WideFromPath(file).c_str()); }
  // An address scheme whose default action is the helper (in the test prefix's class
  // registry); with `dde`, one it takes by DDE, as browsers did: the shell then waits for it
  // to take input.
  void RegisterScheme(const std::string& scheme, bool dde = false) {
    SetRegistryText(HKEY_CLASSES_ROOT, scheme, nullptr, "URL:" + scheme);
    SetRegistryText(HKEY_CLASSES_ROOT, scheme, "URL Protocol", "");
    std::string open = scheme + "\\shell\\open\\";
    SetRegistryText(HKEY_CLASSES_ROOT, open + "command", nullptr, "\"" + helper_ + "\" \"%1\"");
    if (dde) SetRegistryText(HKEY_CLASSES_ROOT, open + "ddeexec\\Application", nullptr, "VsTk");
  }
  std::string directory_, helper_, report_;
};

TEST_F(LauncherTest, ProgramWithBlankInItsPathStartsQuoted) {
  ASSERT_EQ(LaunchProgram(helper_), 1);
  std::string report = WaitForReport(report_);
  ASSERT_FALSE(report.empty());
  EXPECT_EQ(report.substr(0, helper_.size() + 2), "\"" + helper_ + "\"");
}

TEST_F(LauncherTest, ParametersAndWorkingDirectoryReachTheProgram) {
  ASSERT_EQ(LaunchProgram(helper_, "one two", "C:\\windows"), 1);
  std::string report = WaitForReport(report_);
  EXPECT_NE(report.find("\"" + helper_ + "\" one two\n"), std::string::npos) << report;
  EXPECT_NE(report.find("\nC:\\windows"), std::string::npos) << report;
  // An already quoted target is taken as it is.
  Forget(report_);
  ASSERT_EQ(LaunchProgram("\"" + helper_ + "\" quoted"), 1);
  report = WaitForReport(report_);
  EXPECT_EQ(report.substr(0, helper_.size() + 9), "\"" + helper_ + "\" quoted");
}

TEST_F(LauncherTest, DocumentsAndAddressesGoToTheShell) {
  // A document type and an address scheme whose default action is the helper (in the
  // test prefix's class registry).
  std::string command = "\"" + helper_ + "\" \"%1\"";
  SetRegistryText(HKEY_CLASSES_ROOT, ".vstkdoc", nullptr, "VsTkDoc");
  SetRegistryText(HKEY_CLASSES_ROOT, "VsTkDoc\\shell\\open\\command", nullptr, command);
  RegisterScheme("vstk");

  std::string document = directory_ + "some document.vstkdoc";
  WriteWholeFile(document, "text");
  ASSERT_EQ(LaunchProgram(document), 1);
  std::string report = WaitForReport(report_);
  EXPECT_NE(report.find("some document.vstkdoc"), std::string::npos) << report;
  // The document's folder became the working directory.
  std::string folder = directory_.substr(0, directory_.size() - 1);
  EXPECT_NE(report.find("\n" + folder), std::string::npos) << report;

  Forget(report_);
  ASSERT_EQ(LaunchProgram("vstk://author.zq.test/"), 1);
  report = WaitForReport(report_);
  EXPECT_NE(report.find("vstk://author.zq.test/"), std::string::npos) << report;

  // An address from a hostile page may be of any length: the shell is never given more
  // than it takes, in the foreground or the background.
  Forget(report_);
  std::string head = "vstk://author.zq.test/?";
  for (size_t length : {LAUNCH_TARGET_LIMIT + 1, size_t{1000}, size_t{5000}}) {
    EXPECT_EQ(LaunchProgram(head + std::string(length - head.size(), 'a')), 0) << length;
    EXPECT_FALSE(LaunchInBackground(head + std::string(length - head.size(), 'a'))) << length;
  }
  EXPECT_TRUE(WaitForReport(report_, 300).empty());
  std::string fits = head + std::string(LAUNCH_TARGET_LIMIT - head.size(), 'a');
  ASSERT_EQ(LaunchProgram(fits), 1);
  EXPECT_NE(WaitForReport(report_).find(fits), std::string::npos);

  Forget(document);
  RegDeleteTreeA(HKEY_CLASSES_ROOT, ".vstkdoc");
  RegDeleteTreeA(HKEY_CLASSES_ROOT, "VsTkDoc");
  RegDeleteTreeA(HKEY_CLASSES_ROOT, "vstk");
}

// The shell waits for a program that takes addresses by DDE to come up: a stand-in that
// takes 2 s holds a start up that long, while a background start returns at once and
// reports its end.
TEST_F(LauncherTest, BackgroundStartsReturnAtOnceWhileTheBrowserComesUpSlowly) {
  RegisterScheme("vstkslow", true);
  SetEnvironmentVariableW(L"VS_HELPER_IDLE_MS", L"2000");
  HWND notify =
      CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  DWORD start = GetTickCount();
  ASSERT_TRUE(LaunchInBackground("vstkslow://author.zq.test/", "", "", notify, WM_APP + 7, 42));
  EXPECT_LT(GetTickCount() - start, 200u);
  EXPECT_NE(WaitForReport(report_).find("vstkslow://author.zq.test/"), std::string::npos);
  MSG done = {};
  while (GetTickCount() - start < 15000 &&
         !PeekMessageW(&done, notify, WM_APP + 7, WM_APP + 7, PM_REMOVE))
    Sleep(20);
  EXPECT_EQ(done.wParam, 42u);
  EXPECT_GE(GetTickCount() - start, 1500u);  // the shell did wait for the slow browser
  SetEnvironmentVariableW(L"VS_HELPER_IDLE_MS", nullptr);
  DestroyWindow(notify);
  RegDeleteTreeA(HKEY_CLASSES_ROOT, "vstkslow");
}

TEST_F(LauncherTest, TargetsThatCannotStartReturnZeroWithoutADialog) {
  DWORD start = GetTickCount();
  EXPECT_EQ(LaunchProgram(directory_ + "no such program.exe"), 0);
  EXPECT_EQ(LaunchProgram(directory_ + "nothing.unknownextension"), 0);
  EXPECT_EQ(LaunchProgram(""), 0);
  EXPECT_EQ(LaunchProgram(static_cast<const char*>(nullptr)), 0);
  EXPECT_LT(GetTickCount() - start, 10000u);  // nothing waited for an answer
  EXPECT_TRUE(WaitForReport(report_, 200).empty());
}

// Answers the question box from a timer of the calling thread, noting what it saw.
struct Answer {
  HWND open = nullptr;
  HWND disabledBefore = nullptr;
  bool openWasDisabled = false;
  bool found = false;
  int button = IDYES;
  std::wstring title, text;  // as the box showed them
};
Answer answer;

BOOL CALLBACK FindBox(HWND window, LPARAM found) {
  char name[16] = "";
  GetClassNameA(window, name, sizeof name);
  if (std::string(name) == "#32770" && IsWindowVisible(window)) {
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
  }
  return TRUE;
}

void CALLBACK AnswerBox(HWND, UINT, UINT_PTR id, DWORD) {
  HWND box = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindBox, reinterpret_cast<LPARAM>(&box));
  if (!box) return;  // not up yet: try on the next tick
  KillTimer(nullptr, id);
  answer.found = true;
  answer.openWasDisabled = !IsWindowEnabled(answer.open);
  wchar_t title[128] = L"", text[512] = L"";
  GetWindowTextW(box, title, 128);
  GetDlgItemTextW(box, 0xFFFF, text, 512);  // the message's static control
  answer.title = title;
  answer.text = text;
  PostMessageA(box, WM_COMMAND, MAKEWPARAM(answer.button, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(box, answer.button)));
}

TEST(AskUserTest, DisablesOtherWindowsWhileAskingAndRestoresThem) {
  answer = Answer();
  answer.open = reinterpret_cast<HWND>(WindowOpen(1, 10, 10, 200, 100, "open", 0));
  answer.disabledBefore = reinterpret_cast<HWND>(WindowOpen(2, 300, 10, 200, 100, "off", 0));
  HWND front = reinterpret_cast<HWND>(WindowOpen(3, 600, 10, 200, 100, "front", 0));
  EnableWindow(answer.disabledBefore, FALSE);
  MakeForeground(front);
  DrainEvents(30);
  SetTimer(nullptr, 0, 100, AnswerBox);
  int result = AskUser("Вопрос", "Просмотр будет остановлен !", 0x44);
  EXPECT_EQ(result, IDYES);
  EXPECT_TRUE(answer.found);
  EXPECT_TRUE(answer.openWasDisabled);
  EXPECT_TRUE(IsWindowEnabled(answer.open));
  EXPECT_FALSE(IsWindowEnabled(answer.disabledBefore));  // it was disabled before
  EXPECT_TRUE(IsWindowEnabled(front));

  answer.button = IDNO;
  answer.found = false;
  SetTimer(nullptr, 0, 100, AnswerBox);
  EXPECT_EQ(AskUser(static_cast<const char*>(nullptr), static_cast<const char*>(nullptr), 0x44),
            IDNO);
  EXPECT_TRUE(answer.found);

  // A Windows-1251 title ("Вопрос") and a text in UTF-16 (a path no code page holds whole)
  // show as they are under any code page.
  const std::wstring path = L"C:\\users\\\x7528\x6237\\\x041F\\Registration.ini";
  answer = Answer();
  answer.button = IDOK;
  SetTimer(nullptr, 0, 100, AnswerBox);
  EXPECT_EQ(AskUser("\xC2\xEE\xEF\xF0\xEE\xF1", path, MB_OK), IDOK);
  EXPECT_EQ(answer.title + L"|" + answer.text, L"\x0412\x043E\x043F\x0440\x043E\x0441|" + path);
  WindowsEnd();
  DrainEvents(20);
}

TEST(PauseTest, SleepsForTheGivenTime) {
  DWORD start = GetTickCount();
  Pause(120);
  DWORD elapsed = GetTickCount() - start;
  EXPECT_GE(elapsed, 100u);
  EXPECT_LT(elapsed, 2000u);
  start = GetTickCount();
  Pause(-5);  // no endless sleep
  Pause(0);
  EXPECT_LT(GetTickCount() - start, 500u);
}

TEST(StartupTest, ManifestSelectsTheSideBySideCommonControls) {
  SystemStartup();
  // The embedded manifest asks for version 6, which the loader takes from the side-by-side
  // store instead of the system folder. (Wine's copy reports 5.81 from DllGetVersion, so
  // the version number itself cannot tell.)
  HMODULE controls = nullptr;
  ASSERT_TRUE(GetModuleHandleExA(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCSTR>(reinterpret_cast<void*>(&InitCommonControlsEx)), &controls));
  char loaded[MAX_PATH] = "";
  GetModuleFileNameA(controls, loaded, sizeof loaded);
  char system[MAX_PATH] = "";
  GetSystemDirectoryA(system, sizeof system);
  std::string systemCopy = std::string(system) + "\\comctl32.dll";
  EXPECT_NE(_stricmp(loaded, systemCopy.c_str()), 0) << loaded;
  EXPECT_NE(FindResourceA(nullptr, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24)), nullptr);
  SystemEnd();
}

TEST(StartupTest, InitialisesComForTheThread) {
  SystemStartup();
  SystemStartCom();
  // COM is initialised already: a second initialisation reports S_FALSE.
  EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
  CoUninitialize();
  SystemEnd();
}

}  // namespace
