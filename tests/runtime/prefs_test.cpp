#include "prefs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <random>

#include "codepage.h"
#include "os.h"
#include "temp_dir.h"

namespace {

class PrefsTest : public ScratchDirTest {
 protected:
  void SetUp() override {
    ScratchDirTest::SetUp();
    path = dir_ + "p.ini";
  }
  void TearDown() override {
    PrefsClose();
    g_os = OsSystemApi();
    ScratchDirTest::TearDown();
  }
  String Read(const String& bytes, const char* key) {
    WriteWholeFile(path, bytes);
    EXPECT_NE(PrefsOpen(path), 0);
    String v = PrefsReadString(key, "<none>");
    PrefsClose();
    return v;
  }
  // The file after `bytes` was opened, `key` written and the file closed.
  String Rewrite(const String& bytes, const char* key, const char* value) {
    WriteWholeFile(path, bytes);
    EXPECT_NE(PrefsOpen(path), 0);
    PrefsWriteString(key, value);
    EXPECT_EQ(PrefsClose(), PREFS_SAVED);
    return ReadWholeFile(path);
  }
  std::string path;
};

TEST_F(PrefsTest, MissingFileIsCreatedWithTwoLinesMailFirst) {
  EXPECT_EQ(PrefsOpen(path), 0);
  EXPECT_EQ(PrefsReadString("mail", "dflt"), "dflt");
  PrefsWriteString("mail", "user@example.test");
  PrefsWriteString("pass", "a&b c");
  PrefsClose();
  EXPECT_EQ(ReadWholeFile(path), "mail = user@example.test\r\npass = a&b c\r\n");
}

TEST_F(PrefsTest, KeyLookupTrimsAndIgnoresCase) {
  EXPECT_EQ(Read("   MAIL=  x@y.test  \t\r\n", "mail"), "x@y.test");
  EXPECT_EQ(Read("Pass = v=w=z\n", "pass"), "v=w=z");
  EXPECT_EQ(Read("lonely\n", "LONELY"), "");
  EXPECT_EQ(Read("=orphan\n", ""), "orphan");
  EXPECT_EQ(Read("mail = first\nMail = second\n", "mail"), "first");
  EXPECT_EQ(Read("a=1\r\r\n\n\rb=2", "b"), "2");
  EXPECT_EQ(Read("\xC0\xC1=\xE0\n", "\xC0\xC1"), "\xE0");  // case folding is ASCII only
  EXPECT_EQ(Read("\xE0\xE1=x\n", "\xC0\xC1"), "<none>");
}

TEST_F(PrefsTest, KeysAfterAGroupHeaderAreInvisibleAndWritesGoBeforeIt) {
  WriteWholeFile(path, "; note\n[group]\nmail = hidden\n");
  ASSERT_NE(PrefsOpen(path), 0);
  EXPECT_EQ(PrefsReadString("mail", "none"), "none");
  PrefsWriteString("mail", "top");
  PrefsClose();
  EXPECT_EQ(ReadWholeFile(path), "; note\nmail = top\r\n[group]\nmail = hidden\n");

  EXPECT_EQ(Rewrite("[g]x\n", "k", "v"), "k = v\r\n[g]x\n");
}

TEST_F(PrefsTest, WritingChangesTheFirstMatchTakingTheCallersCase) {
  WriteWholeFile(path, "MAIL=old\nmail=second\n");
  ASSERT_NE(PrefsOpen(path), 0);
  PrefsWriteString("Mail", "new");
  EXPECT_EQ(PrefsReadString("mail", ""), "new");
  PrefsClose();
  EXPECT_EQ(ReadWholeFile(path), "Mail = new\nmail=second\n");
}

TEST_F(PrefsTest, RewriteChangesOnlyTheWrittenLines) {
  EXPECT_EQ(Rewrite("\n\n  ;comment\n\t[Grp] trailing\n  [open\n", "a", "1"),
            "\n\n  ;comment\na = 1\r\n\t[Grp] trailing\n  [open\n");
  // A last line without a line end gets one before the added line, which holds no break.
  EXPECT_EQ(Rewrite("x=1", "y", "2\r\nz = injected"), "x=1\r\ny = 2\r\n");
}

TEST_F(PrefsTest, OpenAndCloseWithoutWritesLeavesAnyBytesUnchanged) {
  std::mt19937 rng(7);
  for (int round = 0; round < 20; ++round) {
    String bytes(static_cast<size_t>(rng() % 3000), '\0');
    for (char& c : bytes) c = static_cast<char>(rng() % 256);
    if (round == 0) bytes = "\xEF\xBB\xBF";
    if (round == 1) bytes = "";
    WriteWholeFile(path, bytes);
    ASSERT_NE(PrefsOpen(path), 0);
    PrefsReadString("mail", "");
    PrefsClose();
    ASSERT_EQ(ReadWholeFile(path), bytes) << round;
  }
}

TEST_F(PrefsTest, HostileContentParsesWithoutCrash) {
  String huge(1 << 20, 'k');
  huge += "=value";
  EXPECT_EQ(Read(huge, "mail"), "<none>");
  // A NUL byte breaks the line; what follows it still counts.
  EXPECT_EQ(Read(String("mail=a\0b\npass=x", 15), "pass"), "x");
  EXPECT_EQ(Read(String("mail=a\0b\npass=x", 15), "mail"), "a");
  EXPECT_EQ(Read("\r\r\r\r", "mail"), "<none>");
}

TEST_F(PrefsTest, Utf8ValuesAreWindows1251OrRefused) {
  WriteWholeFile(path, "\xEF\xBB\xBF");
  ASSERT_NE(PrefsOpen(path), 0);
  EXPECT_EQ(PrefsEncoding(), PREFS_UTF8);
  PrefsWriteString("name", "\xE9t\xE9");  // йtй
  EXPECT_EQ(PrefsReadString("name", ""), "\xE9t\xE9");
  PrefsClose();
  EXPECT_EQ(ReadWholeFile(path), "\xEF\xBB\xBFname = \xD0\xB9t\xD0\xB9\r\n");

  EXPECT_EQ(Read("\xEF\xBB\xBFk = a\xE2\x82\xAC\xD0\xAF ", "k"), "a\x88\xDF");  // a€Я
  // Characters Windows-1251 lacks, and malformed bytes, give no value at all.
  for (const char* bad : {"k = b\xC5\x93", "k = \xC3x", "k = x\xE2\x82", "k = \x80"})
    EXPECT_EQ(Read(String("\xEF\xBB\xBF") + bad, "k"), "<none>") << bad;
  String value = "untouched";
  EXPECT_EQ(PrefsOpen(path) ? PrefsReadValue("k", &value) : -1, PREFS_NOT_CP1251);
  EXPECT_EQ(value, "untouched");
  PrefsClose();
  EXPECT_EQ(Read("\xEF\xBB", "\xEF\xBB"), "");  // two bytes only: plain text
}

TEST_F(PrefsTest, ReadingWithoutAnOpenFileGivesDefaults) {
  EXPECT_EQ(PrefsReadString("mail", "x"), "x");
  EXPECT_EQ(PrefsReadString("mail", nullptr), "");
  PrefsWriteString("mail", "ignored");
  PrefsClose();
  EXPECT_FALSE(FileExists(path));
}

// A write that fails half-way must not lose what the file held.
long g_writeBudget = 0;
long FailingWrite(OsFile file, const void* data, long size) {
  if (g_writeBudget <= 0) return -1;
  long n = size < g_writeBudget ? size : g_writeBudget;
  g_writeBudget -= n;
  return OsSystemApi().write(file, data, n);
}

TEST_F(PrefsTest, FailedRewriteKeepsTheOldFile) {
  const String original = "mail = keep@me.test\r\npass = secret\r\n";
  WriteWholeFile(path, original);
  ASSERT_NE(PrefsOpen(path), 0);
  PrefsWriteString("mail", "a-much-longer-address-that-will-not-fit@example.test");
  g_os.write = FailingWrite;
  g_writeBudget = 10;
  EXPECT_EQ(PrefsClose(), PREFS_SAVE_FAILED);
  g_os = OsSystemApi();
  EXPECT_EQ(ReadWholeFile(path), original);
  EXPECT_FALSE(FileExists(path + ".new") || FileExists(path + ".part"));
}

// UTF-8 text in one of the encodings a preference file may have.
String Encoded(const String& utf8, int encoding, bool mark = false) {
  String out = !mark ? "" : encoding == PREFS_UTF8 ? "\xEF\xBB\xBF" : "\xFF\xFE";
  if (mark && encoding == PREFS_UTF16BE) out = "\xFE\xFF";
  for (char32_t c : DecodeUtf8(utf8)) {
    char high = static_cast<char>(c >> 8), low = static_cast<char>(c & 0xFF);
    if (encoding == PREFS_ANSI) out += static_cast<char>(CodePointToCp1251(c));
    if (encoding == PREFS_UTF8) AppendUtf8(out, c);
    if (encoding == PREFS_UTF16LE) out += String{low, high};
    if (encoding == PREFS_UTF16BE) out += String{high, low};
  }
  return out;
}

TEST_F(PrefsTest, EveryEncodingRoundTripsByteForByteApartFromTheWrittenKeys) {
  const String before = "; заметка\r\n  MAIL=старый@x.test  \n\n[группа]\r\nключ = значение\r\n";
  const String after =
      "; заметка\r\nmail = новый@x.test\npass = пароль\r\n\n[группа]\r\nключ = значение\r\n";
  const int encodings[] = {PREFS_ANSI, PREFS_UTF8, PREFS_UTF8, PREFS_UTF16LE, PREFS_UTF16BE};
  for (int kind = 0; kind < 5; ++kind) {
    const int encoding = encodings[kind];
    const bool mark = kind > 1;  // UTF-8 both without and with the mark
    WriteWholeFile(path, Encoded(before, encoding, mark));
    ASSERT_NE(PrefsOpen(path), 0);
    EXPECT_EQ(PrefsEncoding(), encoding);
    EXPECT_EQ(PrefsReadString("mail", ""), Encoded("старый@x.test", PREFS_ANSI));
    PrefsWriteString("mail", Encoded("новый@x.test", PREFS_ANSI));
    PrefsWriteString("pass", Encoded("пароль", PREFS_ANSI));
    EXPECT_EQ(PrefsClose(), PREFS_SAVED);
    EXPECT_EQ(ReadWholeFile(path), Encoded(after, encoding, mark)) << kind;
  }
}

TEST_F(PrefsTest, BinaryBytesAndAMegabyteLineSurviveARewrite) {
  std::mt19937 rng(11);
  for (int round = 0; round < 10; ++round) {
    String rest(4096, '\0');
    for (char& c : rest) c = static_cast<char>(rng() % 256);
    if (round == 0) {
      rest = "\r\nnote = " + String(1 << 20, 'v') + "\r\n" + rest;
      EXPECT_EQ(Read("mail = old\r\n" + rest, "note"), String(1 << 20, 'v'));
    }
    ASSERT_EQ(Rewrite("mail = old\r\n" + rest, "mail", "new"), "mail = new\r\n" + rest) << round;
  }
}

TEST_F(PrefsTest, ADirectoryOrAReadOnlyFileInItsPlaceIsReportedAndKeptAsItWas) {
  namespace fs = std::filesystem;
  fs::create_directory(path);
  EXPECT_EQ(PrefsOpen(path), 0);
  PrefsWriteString("mail", "m");
  EXPECT_EQ(PrefsClose(), PREFS_SAVE_DIRECTORY);
  EXPECT_TRUE(fs::is_directory(path) && fs::remove(path));

  WriteWholeFile(path, "mail = old\r\n");
  fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  ASSERT_NE(PrefsOpen(path), 0);
  PrefsWriteString("mail", "new");
  EXPECT_EQ(PrefsClose(), PREFS_SAVE_READ_ONLY);
  EXPECT_EQ(ReadWholeFile(path), "mail = old\r\n");
  fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);
  EXPECT_FALSE(FileExists(path + ".new") || FileExists(path + ".part"));
}

// A process killed during a save: from OS call number g_killAt on, the calls that change
// files do nothing and fail, except that handles are closed, as the system does for a dead
// process. Writes take at most 3 bytes a call, so that kills also fall inside the text.
int g_calls = 0, g_killAt = -1;
bool Alive() { return g_calls++ < g_killAt || g_killAt < 0; }
OsApi Killable() {
  OsApi api = OsSystemApi();
  api.open = [](const char* n, OsOpenMode m) { return Alive() ? OsSystemApi().open(n, m) : 0; };
  api.write = [](OsFile f, const void* d, long n) {
    return Alive() ? OsSystemApi().write(f, d, std::min(n, 3L)) : -1L;
  };
  api.flush = [](OsFile f) { return Alive() && OsSystemApi().flush(f); };
  api.close = [](OsFile f) { Alive(), OsSystemApi().close(f); };
  api.remove = [](const char* n) { return Alive() && OsSystemApi().remove(n); };
  api.replace = [](const char* a, const char* b) { return Alive() && OsSystemApi().replace(a, b); };
  return api;
}

TEST_F(PrefsTest, KilledDuringASaveLeavesTheOldOrTheNewFileWholeAndTheNextOpenClean) {
  const String before = "; kept\r\nmail = old@x.test\r\npass = old\r\n";
  const String after = "; kept\r\nmail = new-address@x.test\r\npass = old\r\nname = added\r\n";
  auto save = [&](int killAt) {
    WriteWholeFile(path, before);
    ASSERT_NE(PrefsOpen(path), 0);
    PrefsWriteString("mail", "new-address@x.test");
    PrefsWriteString("name", "added");
    g_os = Killable();
    g_calls = 0, g_killAt = killAt;
    PrefsClose();
    g_os = OsSystemApi();
  };
  save(-1);
  ASSERT_EQ(ReadWholeFile(path), after);
  const int steps = g_calls;
  ASSERT_GE(steps, 20);
  int olds = 0, news = 0;
  for (int point = 0; point < 20; ++point) {
    save(point * (steps - 1) / 19);  // the first call to the last
    ASSERT_NE(PrefsOpen(path), 0);   // the next start
    PrefsClose();
    String now = ReadWholeFile(path);
    ASSERT_TRUE(now == before || now == after) << point << ": " << now;
    ++(now == before ? olds : news);
    EXPECT_FALSE(FileExists(path + ".new") || FileExists(path + ".part")) << point;
  }
  EXPECT_GT(olds, 0);
  EXPECT_GT(news, 0);

  // A finished save older than the file (edited by hand since) is dropped.
  WriteWholeFile(path + ".new", "mail = stale\r\n");
  std::filesystem::last_write_time(
      path + ".new", std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
  EXPECT_EQ(Read(before, "mail"), "old@x.test");
  EXPECT_FALSE(FileExists(path + ".new"));
}

}  // namespace
