#include <gtest/gtest.h>

#include <random>

#include "os.h"
#include "prefs.h"
#include "temp_dir.h"

namespace {

class PrefsTest : public ::testing::Test {
 protected:
  void SetUp() override { dir = MakeScratchDir(); path = dir + "p.ini"; }
  void TearDown() override {
    PrefsClose();
    g_os = OsSystemApi();
    RemoveScratchDir(dir);
  }
  String Read(const String& bytes, const char* key) {
    WriteWholeFile(path, bytes);
    EXPECT_NE(PrefsOpen(path), 0);
    String v = PrefsReadString(key, "<none>");
    PrefsClose();
    return v;
  }
  std::string dir, path;
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
  EXPECT_EQ(ReadWholeFile(path), "; note\r\nmail = top\r\n[group]\r\nmail = hidden\r\n");

  WriteWholeFile(path, "[g]x\n");
  ASSERT_NE(PrefsOpen(path), 0);
  PrefsWriteString("k", "v");
  PrefsClose();
  EXPECT_EQ(ReadWholeFile(path), "k = v\r\n[g]\r\n");
}

TEST_F(PrefsTest, WritingChangesTheFirstMatchTakingTheCallersCase) {
  WriteWholeFile(path, "MAIL=old\nmail=second\n");
  ASSERT_NE(PrefsOpen(path), 0);
  PrefsWriteString("Mail", "new");
  EXPECT_EQ(PrefsReadString("mail", ""), "new");
  PrefsClose();
  EXPECT_EQ(ReadWholeFile(path), "Mail = new\r\nmail = second\r\n");
}

TEST_F(PrefsTest, RewriteNormalisesLayout) {
  WriteWholeFile(path, "\n\n  ;comment\n\t[Grp] trailing\n  [open\n");
  ASSERT_NE(PrefsOpen(path), 0);
  PrefsWriteString("a", "1");
  PrefsClose();
  EXPECT_EQ(ReadWholeFile(path), "; comment\r\na = 1\r\n[Grp]\r\n[open]\r\n");
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

TEST_F(PrefsTest, Utf8FilesMapBytesAsLatin1) {
  WriteWholeFile(path, "\xEF\xBB\xBF");
  ASSERT_NE(PrefsOpen(path), 0);
  EXPECT_EQ(PrefsEncoding(), PREFS_UTF8);
  PrefsWriteString("name", "\xE9t\xE9");
  EXPECT_EQ(PrefsReadString("name", ""), "\xE9t\xE9");
  PrefsClose();
  EXPECT_EQ(ReadWholeFile(path), "\xEF\xBB\xBFname = \xC3\xA9t\xC3\xA9\r\n");

  // Characters beyond one byte read as '?', stray and cut-off bytes as nothing.
  EXPECT_EQ(Read("\xEF\xBB\xBFk = a\xE2\x82\xAC" "b\xC5\x93" "c\x80\xFF" "d\xC3", "k"), "a?b?cd");
  EXPECT_EQ(Read("\xEF\xBB\xBFk = \xC3x", "k"), "?x");
  EXPECT_EQ(Read("\xEF\xBB\xBFk = x\xE2\x82", "k"), "x");
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
  PrefsClose();
  g_os = OsSystemApi();
  EXPECT_EQ(ReadWholeFile(path), original);
  EXPECT_FALSE(FileExists(path + ".new"));
}

}  // namespace
