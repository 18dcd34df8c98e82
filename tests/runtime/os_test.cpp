// The OS seam with folders named in scripts that a system code page may lack: a user
// folder "用户" under a Russian code page, "Пользователь" under any other. Paths are UTF-8
// (os.h); the folders are made and checked through std::filesystem's own conversion, so
// that the seam's is not its own witness.
#include "os.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "temp_dir.h"
#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace {

// "用户" and "Пользователь", in UTF-8.
constexpr char kChineseUser[] = "\xE7\x94\xA8\xE6\x88\xB7";
constexpr char kRussianUser[] =
    "\xD0\x9F\xD0\xBE\xD0\xBB\xD1\x8C\xD0\xB7\xD0\xBE\xD0\xB2\xD0\xB0"
    "\xD1\x82\xD0\xB5\xD0\xBB\xD1\x8C";

// Points the variable the system takes the temporary folder from at `folder` while it
// lives. On Windows it is set in UTF-16, as a user's folder is.
class TemporaryFolderVariable {
 public:
#ifdef _WIN32
  explicit TemporaryFolderVariable(const std::string& folder) {
    std::wstring old(32767, L'\0');
    DWORD length = GetEnvironmentVariableW(L"TMP", &old[0], static_cast<DWORD>(old.size()));
    had_ = length > 0 && length < old.size();
    old_ = old.substr(0, had_ ? length : 0);
    SetEnvironmentVariableW(L"TMP", fs::u8path(folder).wstring().c_str());
  }
  ~TemporaryFolderVariable() { SetEnvironmentVariableW(L"TMP", had_ ? old_.c_str() : nullptr); }

 private:
  std::wstring old_;
#else
  explicit TemporaryFolderVariable(const std::string& folder) {
    const char* old = std::getenv("TMPDIR");
    had_ = old != nullptr;
    old_ = had_ ? old : "";
    setenv("TMPDIR", folder.c_str(), 1);
  }
  ~TemporaryFolderVariable() { had_ ? setenv("TMPDIR", old_.c_str(), 1) : unsetenv("TMPDIR"); }

 private:
  std::string old_;
#endif
  bool had_ = false;
};

class OsSeamTest : public ScratchDirTest {
 protected:
  void TearDown() override {
    fs::current_path(start_);
    ScratchDirTest::TearDown();
  }
  // Makes dir_ + name + separator and returns it.
  std::string Folder(const char* name) {
    std::string folder = dir_ + name;
    EXPECT_TRUE(fs::create_directory(fs::u8path(folder))) << folder;
    return folder + static_cast<char>(fs::path::preferred_separator);
  }
  void Write(const std::string& path, const std::string& bytes) {
    OsFile file = g_os.open(path.c_str(), OS_CREATE_ALWAYS);
    ASSERT_NE(file, 0) << path;
    EXPECT_EQ(g_os.write(file, bytes.data(), static_cast<long>(bytes.size())),
              static_cast<long>(bytes.size()));
    g_os.close(file);
  }
  static std::string Read(const std::string& path) {
    std::ifstream in(fs::u8path(path), std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
  }
  fs::path start_ = fs::current_path();
};

TEST_F(OsSeamTest, FilesInFoldersOfAnyScript) {
  for (const char* name : {kChineseUser, kRussianUser}) {
    SCOPED_TRACE(name);
    const std::string folder = Folder(name);
    const std::string file = folder + "Registration.ini", part = folder + "film.htm.part";
    Write(file, "old");
    EXPECT_EQ(Read(file), "old");
    OsPathInfo info = g_os.pathInfo(file.c_str());
    EXPECT_TRUE(info.exists && !info.directory);
    EXPECT_TRUE(g_os.pathInfo(folder.c_str()).directory);

    Write(part, "new");
    EXPECT_TRUE(g_os.replace(part.c_str(), file.c_str()));
    EXPECT_EQ(Read(file), "new");
    EXPECT_FALSE(fs::exists(fs::u8path(part)));

    // Read back through the stream the picture libraries use.
    FILE* stream = g_os.openStream(file.c_str());
    ASSERT_NE(stream, nullptr);
    char got[4] = {};
    EXPECT_EQ(std::fread(got, 1, 3, stream), 3u);
    std::fclose(stream);
    EXPECT_STREQ(got, "new");

    // Registration.ini is opened by a relative name, in the current folder.
    fs::current_path(fs::u8path(folder));
    EXPECT_EQ(g_os.fullPath("Registration.ini"), file);

    EXPECT_TRUE(g_os.remove(file.c_str()));
    EXPECT_FALSE(fs::exists(fs::u8path(file)));
    EXPECT_FALSE(g_os.pathInfo(file.c_str()).exists);
  }
}

TEST_F(OsSeamTest, TemporaryFolderOfAnyScript) {
  const std::string folder = Folder((std::string(kChineseUser) + " " + kRussianUser).c_str());
  TemporaryFolderVariable variable(folder);
  EXPECT_EQ(g_os.tempPath(), folder);
}

}  // namespace
