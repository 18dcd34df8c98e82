#include "seqfile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "temp_dir.h"
#ifdef _WIN32
#include <windows.h>
#endif

namespace {

class SeqFileTest : public ScratchDirTest {
 protected:
  void SetUp() override {
    ScratchDirTest::SetUp();
    path = dir_ + "f.txt";
  }
  void TearDown() override {
    FilesEnd();
    g_os = OsSystemApi();
    ScratchDirTest::TearDown();
  }
  std::vector<String> Lines(const String& bytes) {
    WriteWholeFile(path, bytes);
    std::vector<String> lines;
    EXPECT_NE(FileOpenRead(0, path), 0);
    while (!FileAtEnd(0)) lines.push_back(FileReadLine(0));
    EXPECT_EQ(FileReadLine(0), "");
    FileClose(0);
    return lines;
  }
  std::string path;
};

using L = std::vector<String>;

TEST_F(SeqFileTest, LineEndsOfEveryKind) {
  EXPECT_EQ(Lines("A\r\nB\nC"), (L{"A", "B", "C"}));
  EXPECT_EQ(Lines("A\r\n"), (L{"A"}));
  EXPECT_EQ(Lines("A\r\n\r\nB"), (L{"A", "", "B"}));
  EXPECT_EQ(Lines("A\rB\r"), (L{"A", "B"}));
  EXPECT_EQ(Lines("A\n\rB"), (L{"A", "", "B"}));  // LF CR is two line ends
  EXPECT_EQ(Lines(String("ab\0cd", 5)), (L{"ab", "cd"}));
  EXPECT_EQ(Lines(""), L{});
}

TEST_F(SeqFileTest, LinesOfAnyLengthAndLineEndsAcrossTheBuffer) {
  String big(10000, 'x');
  EXPECT_EQ(Lines(big + "\r\nend"), (L{big, "end"}));
  // A CR LF pair split by the 4096-byte buffer boundary is still one line end.
  String a(4095, 'a');
  EXPECT_EQ(Lines(a + "\r\nb"), (L{a, "b"}));
  String mb(1 << 20, 'm');
  EXPECT_EQ(Lines(mb), (L{mb}));
}

TEST_F(SeqFileTest, ALineOverTheLimitKeepsItsStartAndTheNextLineFollows) {
  WriteWholeFile(path, String(3 * 4096 + 7, 'x') + "\r\nnext\nshort");
  ASSERT_NE(FileOpenRead(0, path), 0);
  bool tooLong = false;
  EXPECT_EQ(FileReadLine(0, 5000, &tooLong), String(5000, 'x'));
  EXPECT_TRUE(tooLong);
  EXPECT_EQ(FileReadLine(0, 5000, &tooLong), "next");
  EXPECT_FALSE(tooLong);
  EXPECT_EQ(FileReadLine(0, 5, &tooLong), "short");  // exactly the limit is not over it
  EXPECT_FALSE(tooLong);
  FileClose(0);
}

TEST_F(SeqFileTest, WriteLineAddsCrLf) {
  ASSERT_NE(FileOpenReadWrite(1, path), 0);
  EXPECT_EQ(FileWriteLine(1, "text"), 6);
  EXPECT_EQ(FileWriteLine(1, ""), 2);
  EXPECT_EQ(FileWriteLine(1, nullptr), 2);
  FileClose(1);
  EXPECT_EQ(ReadWholeFile(path), "text\r\n\r\n\r\n");
}

TEST_F(SeqFileTest, ScopedFileClosesWhenItsOwnerLeaves) {
  {
    ScopedFile file;
    ASSERT_TRUE(file.OpenReadWrite(1, path));
    FileWriteLine(file.Number(), "kept");
  }
  EXPECT_EQ(ReadWholeFile(path), "kept\r\n");  // pending data written at the close
  EXPECT_EQ(FileWriteLine(1, "late"), 0);      // and the number is free again
  ScopedFile file;
  EXPECT_FALSE(file.OpenRead(2, dir_ + "missing.txt"));
  ASSERT_TRUE(file.OpenRead(ANY_NUMBER, path));
  EXPECT_EQ(FileReadLine(file.Number()), "kept");
}

TEST_F(SeqFileTest, ReadWriteDoesNotTruncate) {
  String old(100, '#');
  WriteWholeFile(path, old);
  ASSERT_NE(FileOpenReadWrite(1, path), 0);
  FileWriteLine(1, "0123456789");
  FileClose(1);
  String now = ReadWholeFile(path);
  ASSERT_EQ(now.size(), 100u);
  EXPECT_EQ(now.substr(0, 12), "0123456789\r\n");
  EXPECT_EQ(now.substr(12), old.substr(12));
}

TEST_F(SeqFileTest, TruncateEndsTheFileAtTheLogicalPosition) {
  WriteWholeFile(path, String(100, '#'));
  ASSERT_NE(FileOpenReadWrite(1, path), 0);
  EXPECT_NE(FileTruncate(1), 0);  // right after opening: empties the file
  FileWriteLine(1, "short");
  FileClose(1);
  EXPECT_EQ(ReadWholeFile(path), "short\r\n");

  WriteWholeFile(path, "first\r\nsecond\r\nthird\r\n");
  ASSERT_NE(FileOpenReadWrite(1, path), 0);
  EXPECT_EQ(FileReadLine(1), "first");  // the read-ahead holds the rest of the file
  EXPECT_NE(FileTruncate(1), 0);
  EXPECT_NE(FileAtEnd(1), 0);
  FileWriteLine(1, "new");
  EXPECT_NE(FileTruncate(1), 0);  // pending bytes go out before the cut
  FileClose(1);
  EXPECT_EQ(ReadWholeFile(path), "first\r\nnew\r\n");
  EXPECT_EQ(FileTruncate(7), 0);
}

TEST_F(SeqFileTest, InterleavedReadsAndWritesKeepOnePosition) {
  WriteWholeFile(path, "first\r\nsecond\r\nthird\r\n");
  ASSERT_NE(FileOpenReadWrite(1, path), 0);
  EXPECT_EQ(FileReadLine(1), "first");
  FileWriteLine(1, "SECOND");
  EXPECT_EQ(FileReadLine(1), "third");
  EXPECT_NE(FileAtEnd(1), 0);
  FileClose(1);
  EXPECT_EQ(ReadWholeFile(path), "first\r\nSECOND\r\nthird\r\n");
}

TEST_F(SeqFileTest, LargeWritesBypassTheBuffer) {
  ASSERT_NE(FileOpenReadWrite(1, path), 0);
  String chunk(5000, 'z');
  FileWriteLine(1, "head");
  EXPECT_EQ(FileWriteLine(1, chunk), 5002);
  FileWriteLine(1, "tail");
  FileClose(1);
  EXPECT_EQ(ReadWholeFile(path), "head\r\n" + chunk + "\r\ntail\r\n");
}

TEST_F(SeqFileTest, NumbersNotOpenDoNothing) {
  EXPECT_EQ(FileReadLine(5), "");
  EXPECT_EQ(FileAtEnd(5), 0);
  EXPECT_EQ(FileWriteLine(5, "x"), 0);
  FileClose(5);
  FileClose(-1);
  EXPECT_EQ(FileOpenRead(0, dir_ + "missing.txt"), 0);
  EXPECT_EQ(FileReadLine(0), "");
  EXPECT_EQ(FileOpenRead(0, nullptr), 0);
  EXPECT_EQ(FileOpenRead(-3, path), 0);
}

TEST_F(SeqFileTest, ReopeningANumberClosesTheOldFileWithItsData) {
  ASSERT_NE(FileOpenReadWrite(1, path), 0);
  FileWriteLine(1, "pending");
  String other = dir_ + "g.txt";
  ASSERT_NE(FileOpenReadWrite(1, other), 0);
  EXPECT_EQ(ReadWholeFile(path), "pending\r\n");
  FileClose(1);
}

TEST_F(SeqFileTest, AnyNumberFilesAreIndependent) {
  WriteWholeFile(path, "one\ntwo\n");
  ObjectNumber a = FileOpenRead(ANY_NUMBER, path);
  ObjectNumber b = FileOpenRead(ANY_NUMBER, path);
  ASSERT_NE(a, 0);
  ASSERT_NE(b, 0);
  EXPECT_NE(a, b);
  EXPECT_EQ(FileReadLine(a), "one");
  EXPECT_EQ(FileReadLine(b), "one");
  EXPECT_EQ(FileReadLine(a), "two");
  FileClose(a);
  EXPECT_EQ(FileReadLine(a), "");
  EXPECT_EQ(FileReadLine(b), "two");
  EXPECT_EQ(FileOpenRead(ANY_NUMBER, dir_ + "missing"), 0);
}

long FailingRead(OsFile, void*, long) { return -1; }

TEST_F(SeqFileTest, ReadErrorsCountAsTheEnd) {
  WriteWholeFile(path, "data\n");
  ASSERT_NE(FileOpenRead(0, path), 0);
  g_os.read = FailingRead;
  EXPECT_NE(FileAtEnd(0), 0);
  EXPECT_EQ(FileReadLine(0), "");
}

TEST_F(SeqFileTest, DeleteAndTempDirectory) {
  WriteWholeFile(path, "x");
  EXPECT_NE(FileDelete(path), 0);
  EXPECT_FALSE(FileExists(path));
  EXPECT_EQ(FileDelete(path), 0);
  EXPECT_EQ(FileDelete(nullptr), 0);
  String temp = TempDirectory();
  ASSERT_FALSE(temp.empty());
#ifdef _WIN32
  EXPECT_EQ(temp.back(), '\\');
  // The long form: no 8.3 short-name component.
  EXPECT_EQ(temp.find('~'), String::npos) << temp;
#else
  EXPECT_EQ(temp.back(), '/');
#endif
}

// Folders named in scripts a system code page may lack ("用户" under a Russian code page,
// "Пользователь" under any other): paths are UTF-8 (os.h), here checked through
// std::filesystem's own conversion.
namespace fs = std::filesystem;
const char kSeparator = static_cast<char>(fs::path::preferred_separator);

TEST_F(SeqFileTest, FilesInFoldersOfAnyScript) {
  const fs::path start = fs::current_path();
  for (const String name : {"\xE7\x94\xA8\xE6\x88\xB7",
                            "\xD0\x9F\xD0\xBE\xD0\xBB\xD1\x8C\xD0\xB7\xD0"
                            "\xBE\xD0\xB2\xD0\xB0\xD1\x82\xD0\xB5\xD0\xBB\xD1\x8C"}) {
    SCOPED_TRACE(name);
    const String folder = dir_ + name + kSeparator;
    ASSERT_TRUE(fs::create_directory(fs::u8path(folder)));
    const String file = folder + "Registration.ini", part = file + ".part";
    WriteWholeFile(file, "old");
    ASSERT_NE(FileOpenReadWrite(0, part), 0);
    FileWriteLine(0, "new");
    FileClose(0);
    EXPECT_TRUE(g_os.pathInfo(folder.c_str()).directory);
    EXPECT_TRUE(g_os.replace(part.c_str(), file.c_str()));
    EXPECT_EQ(ReadWholeFile(file), "new\r\n");
    EXPECT_FALSE(FileExists(part));
    FILE* stream = g_os.openStream(file.c_str());  // as the picture libraries read
    ASSERT_NE(stream, nullptr);
    char got[4] = {};
    EXPECT_EQ(std::fread(got, 1, 3, stream), 3u);
    std::fclose(stream);
    EXPECT_STREQ(got, "new");
    fs::current_path(fs::u8path(folder));  // Registration.ini is opened by a relative name
    EXPECT_EQ(g_os.fullPath("Registration.ini"), file);
    fs::current_path(start);
    EXPECT_NE(FileDelete(file), 0);
    EXPECT_FALSE(FileExists(file));
  }
}

#ifdef _WIN32
// A temporary folder as a user's profile names it ("用户 П"), set in UTF-16.
TEST_F(SeqFileTest, TempDirectoryOfAnyScript) {
  const String folder = dir_ + "\xE7\x94\xA8\xE6\x88\xB7 \xD0\x9F\\";
  ASSERT_TRUE(fs::create_directory(fs::u8path(folder)));
  static wchar_t old[32767];
  DWORD length = GetEnvironmentVariableW(L"TMP", old, 32767);
  SetEnvironmentVariableW(L"TMP", fs::u8path(folder).wstring().c_str());
  String temp = TempDirectory();
  SetEnvironmentVariableW(L"TMP", length ? old : nullptr);
  EXPECT_EQ(temp, folder);
}
#endif

}  // namespace
