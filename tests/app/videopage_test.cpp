#include "videopage.h"

#include <gtest/gtest.h>

#include "seqfile.h"
#include "temp_dir.h"

namespace {

// A player line as the site writes it, with the values given.
String PlayerLine(const String& uid, const String& vid, const String& oid, const String& vtag,
                  const String& hash2, const String& host = "http:\\/\\/cs7.zq.test\\/") {
  return "<script type=\"text/javascript\">loadFlashPlayer({\"uid\":\"" + uid + "\",\"vid\":\"" +
         vid + "\",\"oid\":\"" + oid + "\",\"host\":\"" + host + "\",\"vtag\":\"" + vtag +
         "\",\"hash2\":\"" + hash2 + "\",\"duration\":4}, {\"width\":480});</script>";
}

TEST(VideoPage, WellFormedValuesAreKeptByteForByte) {
  String line = PlayerLine("11", "22", "-33", "ab12_x.y~z", "0f9e8d7c6b5a");
  String address;
  ASSERT_TRUE(VideoFileAddress(line, "zq.test", address));
  EXPECT_EQ(address, "http://cs7.zq.test/u11/video/ab12_x.y~z.480.mp4");
  PlayerValues v = PlayerValuesOf(line);
  EXPECT_EQ(v.oid, "-33");
  EXPECT_EQ(v.vid, "22");
  EXPECT_EQ(v.hash2, "0f9e8d7c6b5a");
  EXPECT_EQ(PlayerPageText("http://zq.test/", v.oid, v.vid, v.hash2),
            "<style>body{padding:0px;margin:0px;background:#000000;}</style>"
            "<iframe src='http://zq.test/video_ext.php?oid=-33&id=22&hash=0f9e8d7c6b5a' "
            "width='480' height='360' frameborder='0'></iframe>");
}

TEST(VideoPage, MissingValuesStillBuildTheAddress) {
  String address;
  // No escaped address at all: the host label is empty.
  ASSERT_TRUE(
      VideoFileAddress("loadFlashPlayer({\"uid\":\"1\",\"vtag\":\"t\"})", "zq.test", address));
  EXPECT_EQ(address, "http://.zq.test/u1/video/t.480.mp4");
  // An escaped address with no "." after it also gives an empty label.
  ASSERT_TRUE(VideoFileAddress("loadFlashPlayer({\"host\":\"http:\\/\\/localhost\\/\"})", "zq.test",
                               address));
  EXPECT_EQ(address, "http://.zq.test/u/video/.480.mp4");
  EXPECT_EQ(PlayerPageText("http://zq.test/", "", "", ""),
            "<style>body{padding:0px;margin:0px;background:#000000;}</style>"
            "<iframe src='http://zq.test/video_ext.php?oid=&id=&hash=' width='480' "
            "height='360' frameborder='0'></iframe>");
}

TEST(VideoPage, HostLabelsThatCouldLeadElsewhereRefuseTheLine) {
  String address = "previous";
  for (const char* host :
       {"http:\\/\\/evil\\\\x.", "http:\\/\\/me@evil.", "http:\\/\\/evil:80\\/x.",
        "http:\\/\\/evil\\/\\/cs7.", "http:\\/\\/ev il.", "http:\\/\\/a?b.", "http:\\/\\/a#b."}) {
    EXPECT_FALSE(VideoFileAddress(PlayerLine("1", "2", "3", "t", "h", host), "zq.test", address))
        << host;
    EXPECT_EQ(address, "previous");
  }
  EXPECT_TRUE(IsHostLabel("cs-12"));
  EXPECT_TRUE(IsHostLabel(""));
  EXPECT_FALSE(IsHostLabel(String("cs\0x", 4)));
}

TEST(VideoPage, PathValuesCannotLeaveThePath) {
  String address;
  ASSERT_TRUE(
      VideoFileAddress(PlayerLine("\\/\\/other.host\\/", "1", "1", "..\\/..\\/etc\\/passwd", "h"),
                       "zq.test", address));
  EXPECT_EQ(address,
            "http://cs7.zq.test/u%5C%2F%5C%2Fother.host%5C%2F/video/"
            "..%5C%2F..%5C%2Fetc%5C%2Fpasswd.480.mp4");
  EXPECT_EQ(EscapeAddressValue(String("a b?c#d@e%f&g\x80\xFF\0", 16)),
            "a%20b%3Fc%23d%40e%25f%26g%80%FF%00");
}

TEST(VideoPage, PlayerValuesCannotBreakOutOfTheFrame) {
  // As the site's hostile pages give them: quotes, markup and a closing frame tag.
  String page = PlayerPageText("http://zq.test/", "-9' onload='alert(1)",
                               "<script>alert(1)</script>", "</iframe><b x=\"y\">");
  EXPECT_EQ(page,
            "<style>body{padding:0px;margin:0px;background:#000000;}</style>"
            "<iframe src='http://zq.test/video_ext.php?oid=-9%27%20onload%3D%27alert%281%29"
            "&id=%3Cscript%3Ealert%281%29%3C%2Fscript%3E&hash=%3C%2Fiframe%3E%3Cb%20x%3D%22y%22%3E"
            "' width='480' height='360' frameborder='0'></iframe>");
}

TEST(VideoPage, EveryPlayerLineOfAFileInOrder) {
  std::string dir = MakeScratchDir();
  WriteWholeFile(dir + "film.htm", "<html>\r\n" + PlayerLine("1", "2", "3", "a", "h1") +
                                       "\r\n<p>loadflashplayer</p>\n" +
                                       PlayerLine("4", "5", "6", "b", "h2") + "\n</html>");
  ASSERT_NE(FileOpenRead(0, dir + "film.htm"), 0);
  std::vector<String> hashes;
  ForEachPlayerLine(0, [&](const String& line) { hashes.push_back(PlayerValuesOf(line).hash2); });
  FileClose(0);
  RemoveScratchDir(dir);
  EXPECT_EQ(hashes, (std::vector<String>{"h1", "h2"}));  // the marker is case-sensitive
}

// A file name from the site must stay one file inside the Downloads folder.
TEST(VideoPage, SavedFileNamesCannotLeaveTheFolderOrNameADevice) {
  EXPECT_EQ(AddressFileName("http://cs1.zq.test/u9/video/ab12.480.mp4"), "ab12.480.mp4");
  EXPECT_EQ(AddressFileName("http://cs1.zq.test/u9/video/..%5C%2F..%5C%2Fetc.480.mp4?x=/y#z"),
            "__..__etc.480.mp4");
  EXPECT_EQ(AddressFileName("http://h/v/%2E%2E"), "video.mp4");
  EXPECT_EQ(AddressFileName("http://h/v/"), "video.mp4");
  EXPECT_EQ(SafeFileName("a:b*c?d\"e<f>g|h\x01.mp4 . "), "a_b_c_d_e_f_g_h_.mp4");
  EXPECT_EQ(SafeFileName("con.480.mp4"), "_con.480.mp4");
  EXPECT_EQ(SafeFileName("COM1"), "_COM1");
  EXPECT_EQ(SafeFileName("COM10.mp4"), "COM10.mp4");
  EXPECT_EQ(SafeFileName(String(300, 'x') + ".mp4").size(), 200u);
  // What the cut leaves at the front is trimmed and checked as well.
  EXPECT_EQ(SafeFileName(String(100, 'x') + " . con." + String(189, 'x') + ".mp4"),
            "_con." + String(189, 'x') + ".mp4");
  // UTF-8 is cut between characters: 202 bytes lose "x" and the half "Ф" after it.
  EXPECT_EQ(SafeFileName("x\xD0\xA4" + String(195, 'y') + ".mp4"), String(195, 'y') + ".mp4");
}

// Names come as UTF-8 or as Windows-1251 bytes; saved, they keep their characters (UTF-8).
TEST(VideoPage, FileNamesFromTheServerKeepTheirCharacters) {
  const String film = "\xD0\xA4\xD0\xB8\xD0\xBB\xD1\x8C\xD0\xBC.mp4";  // "Фильм.mp4"
  const String filmCp1251 = "\xD4\xE8\xEB\xFC\xEC.mp4";
  EXPECT_EQ(PathFromNameBytes(film), film);
  EXPECT_EQ(PathFromNameBytes(filmCp1251), film);
  EXPECT_EQ(AddressFileName("http://h/v/%D4%E8%EB%FC%EC.mp4"), film);
  // filename* wins over filename, wherever it stands, unless it cannot be read.
  EXPECT_EQ(DispositionFileName("attachment; filename=a.mp4; FILENAME*=UTF-8'ru'%E7%94%B5.mp4"),
            "\xE7\x94\xB5.mp4");
  EXPECT_EQ(DispositionFileName("attachment; filename*=iso-8859-1''%A3.mp4"), "\xC2\xA3.mp4");
  EXPECT_EQ(DispositionFileName("attachment; filename*=UTF-8''%D4%E8.mp4; filename=b.mp4"),
            "b.mp4");
  // filename: quoted or not, exactly that parameter, path parts dropped.
  EXPECT_EQ(DispositionFileName("attachment; filename=\"" + filmCp1251 + "\"; size=3"), film);
  EXPECT_EQ(DispositionFileName("attachment; filename=\"..\\\\x\\\";y/z.mp4\""), "z.mp4");
  EXPECT_EQ(DispositionFileName("attachment; myfilename=\"no.mp4\""), "");
}

// What the site's hostile names become once saved: always a video's name, in the folder.
TEST(VideoPage, SavedNamesAreVideosWhateverTheServerSays) {
  const String address = "http://cs1.zq.test/u9/video/name1.480.mp4";
  auto saved = [&](const String& header) {
    return VideoFileName(DispositionFileName(header), address);
  };
  EXPECT_EQ(saved("attachment; filename=\"setup.exe\""), "setup.mp4");
  EXPECT_EQ(saved("attachment; filename=\"video.lnk\""), "video.mp4");
  EXPECT_EQ(saved("attachment; filename=\"video.mp4.exe\""), "video.mp4.mp4");
  EXPECT_EQ(saved("attachment; filename=\"../../x.exe\""), "x.mp4");
  EXPECT_EQ(saved("attachment; filename=\"trailing.exe. . \""), "trailing.mp4");
  EXPECT_EQ(saved("attachment; xfilename=\"evil.exe\"; filename=\"good.mp4\""), "good.mp4");
  EXPECT_EQ(saved("attachment; filename=\"\xD0\xB2\xD0\xB8\xD0\xB4\xD0\xB5\xD0\xBE.mp4\""),
            "\xD0\xB2\xD0\xB8\xD0\xB4\xD0\xB5\xD0\xBE.mp4");
  EXPECT_EQ(saved("attachment; filename=\"fallback.mp4\"; "
                  "filename*=UTF-8''%D0%B2%D0%B8%D0%B4%D0%B5%D0%BE.mp4"),
            "\xD0\xB2\xD0\xB8\xD0\xB4\xD0\xB5\xD0\xBE.mp4");
  EXPECT_EQ(
      saved("attachment; x-padding=\"" + String(1100, 'x') + "\"; filename=\"long-header.mp4\""),
      "long-header.mp4");
  // A quoted value hides what looks like a parameter; names are whole parameter names.
  EXPECT_EQ(saved("attachment; x=\"; filename=evil.exe\"; filename=\"ok.webm\""), "ok.webm");
  EXPECT_EQ(saved("attachment; filenames=\"a.exe\"; file-name=b.exe"), "name1.480.mp4");
  // A stream name, a video extension in another case, another video type of the address.
  EXPECT_EQ(saved("attachment; filename=\"a.mp4:evil.exe\""), "a.mp4_evil.mp4");
  EXPECT_EQ(saved("attachment; filename=CLIP.MKV"), "CLIP.MKV");
  EXPECT_EQ(VideoFileName("clip.exe", "http://h/v/clip.webm?x=1"), "clip.webm");
  EXPECT_EQ(VideoFileName("", "http://h/v/setup.exe"), "setup.mp4");
  EXPECT_EQ(VideoFileName("con.exe", "http://h/v/a.mp4"), "_con.mp4");
  String longName = VideoFileName(String(198, 'y') + ".exe", "http://h/v/a.mp4");
  EXPECT_EQ(longName.size(), 200u);
  EXPECT_EQ(longName.substr(longName.size() - 4), ".mp4");
}

}  // namespace
