// The scenario owner's files and pictures (/u9/...): big, slow, cut and range-less files
// made on the fly, and pictures that are not what they seem.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "cp1251.h"
#include "encoding.h"
#include "files.h"
#include "front.h"
#include "scenarios.h"

namespace site {
namespace {

constexpr uint64_t kMiB = 1u << 20;
constexpr uint64_t kBaseStep = 1ull << 40;  // distance between the files' pattern bases

// Content-Disposition values that a careful client must not take as they are, each with
// what it tries.
struct BadName {
  const char* what;
  std::string disposition;
};
const std::vector<BadName>& BadNames() {
  static const std::vector<BadName> names = {
      {"setup.exe", "attachment; filename=\"setup.exe\""},
      {"run.bat", "attachment; filename=\"run.bat\""},
      {"video.lnk", "attachment; filename=\"video.lnk\""},
      {"video.mp4.exe", "attachment; filename=\"video.mp4.exe\""},
      {"evil.dll", "attachment; filename=\"evil.dll\""},
      {"../../x.exe", "attachment; filename=\"../../x.exe\""},
      {"trailing.exe. . ", "attachment; filename=\"trailing.exe. . \""},
      {"xfilename=evil.exe before filename=good.mp4",
       "attachment; xfilename=\"evil.exe\"; filename=\"good.mp4\""},
      {"a raw UTF-8 name", "attachment; filename=\"видео.mp4\""},
      {"filename*= in UTF-8 beside filename=fallback.mp4",
       "attachment; filename=\"fallback.mp4\"; "
       "filename*=UTF-8''%D0%B2%D0%B8%D0%B4%D0%B5%D0%BE.mp4"},
      {"a header over 1023 bytes, the name at its end",
       "attachment; x-padding=\"" + std::string(1100, 'x') + "\"; filename=\"long-header.mp4\""},
  };
  return names;
}

constexpr int kBadNameVid = 22;          // the bad names' videos: 22 to 32
constexpr int kBadNameRedirectVid = 33;  // the same after a redirect: 33 to 43

constexpr uint64_t kChunkedCutBase = 5 * kBaseStep;
constexpr uint64_t kBadNameBase = 6 * kBaseStep;
constexpr uint64_t kHugePictureBase = 7 * kBaseStep;

GeneratedFile Generated(uint64_t base, uint64_t size, uint64_t rate) {
  GeneratedFile file;
  file.base = base;
  file.size = size;
  file.rate = rate;
  return file;
}

// The generated video files by name; false for any other name.
bool GeneratedVideo(std::string_view vtag, GeneratedFile* file) {
  if (vtag == "big50") {
    *file = Generated(0, kBigFileBytes, kScenarioFileRate);
  } else if (vtag == "cut") {
    *file = Generated(0, 20 * kMiB, kScenarioFileRate);
    file->cut_at = 5 * kMiB;
  } else if (vtag == "big50b") {
    *file = Generated(kBaseStep, kBigFileBytes, kScenarioFileRate);
  } else if (vtag == "norange") {
    *file = Generated(2 * kBaseStep, 20 * kMiB, kScenarioFileRate);
    file->ranges = false;
  } else if (vtag == "slow50") {
    *file = Generated(3 * kBaseStep, kBigFileBytes, kSlowFileRate);
  } else if (vtag == "big1g") {
    *file = Generated(4 * kBaseStep, 1024 * kMiB, 0);
  } else if (vtag == "chunkcut") {
    *file = Generated(kChunkedCutBase, 20 * kMiB, kScenarioFileRate);
    file->cut_at = 5 * kMiB;
  } else {
    return false;
  }
  return true;
}

// A chunked answer that breaks off: one chunk announces the whole file, and the connection
// closes after the first `cut_at` bytes of it, without the chunk's end or the last chunk.
// The HTTP library writes only whole chunks, so this is written raw.
void ChunkedCut(const GeneratedFile& file, const std::string& disposition, httplib::Response& res) {
  res.status = 200;
  Exchange* ex = CurrentExchange();
  if (!ex) return;
  std::string head = RawHead(200, "OK",
                             "Content-Type: video/mp4\r\nContent-Disposition: " + disposition +
                                 "\r\nTransfer-Encoding: chunked\r\n");
  if (!ex->SendRaw(head) || ex->head.method == "HEAD") return;
  char size_line[32];
  std::snprintf(size_line, sizeof size_line, "%llx\r\n",
                static_cast<unsigned long long>(file.size));
  if (!ex->SendRaw(size_line)) return;
  auto start = std::chrono::steady_clock::now();
  for (uint64_t at = 0; at < file.cut_at; at += 256u << 10) {
    std::this_thread::sleep_until(start + std::chrono::microseconds(at * 1000000 / file.rate));
    if (!ex->SendRaw(GeneratedBytes(file, at, std::min<uint64_t>(256u << 10, file.cut_at - at))))
      return;
  }
}

// The first MiB of big50, gzip-compressed (made once).
const std::string& GzippedFileBytes() {
  static const std::string bytes = Compress(PatternBytes(0, 0, kMiB), Coding::kGzip);
  return bytes;
}

// The number k of a file "<prefix><k>" for k from 1 to the number of bad names; 0 for
// other names.
size_t BadNameNumber(std::string_view vtag, std::string_view prefix) {
  if (vtag.compare(0, prefix.size(), prefix) != 0) return 0;
  for (size_t k = 1; k <= BadNames().size(); ++k) {
    if (vtag.substr(prefix.size()) == std::to_string(k)) return k;
  }
  return 0;
}

}  // namespace

const std::vector<FileVideo>& FileVideos() {
  static const std::vector<FileVideo> videos = [] {
    std::vector<FileVideo> v = {
        {"zqtest-video-files", 11, "big50", "A file of 50 MiB"},
        {"zqtest-video-files", 12, "cut", "A file cut off"},
        {"zqtest-video-files", 13, "big50b", "Another file of 50 MiB"},
        {"zqtest-video-norange", 14, "norange", "A file served without ranges"},
        {"zqtest-video-slow", 15, "slow50", "A slow file of 50 MiB"},
        {"zqtest-video-big1g", 16, "big1g", "A file of 1 GiB"},
        {"zqtest-video-chunked-cut", 17, "chunkcut", "A chunked file that breaks off"},
        {"zqtest-video-status", 18, "status204", "A file answered 204 No Content"},
        {"zqtest-video-status", 19, "status304", "A file answered 304 Not Modified"},
        {"zqtest-video-status", 20, "htmlerror", "A file answered with an HTML error page"},
        {"zqtest-video-status", 21, "gzipped", "A file sent gzip-compressed unasked"},
    };
    for (size_t i = 0; i < BadNames().size(); ++i) {
      std::string k = std::to_string(i + 1);
      v.push_back({"zqtest-video-names", kBadNameVid + static_cast<int>(i), "name" + k,
                   BadNames()[i].what});
      v.push_back({"zqtest-video-names-redirect", kBadNameRedirectVid + static_cast<int>(i),
                   "toname" + k, std::string(BadNames()[i].what) + " (after a redirect)"});
    }
    return v;
  }();
  return videos;
}

std::string ScenarioFileBytes(std::string_view vtag, uint64_t offset, size_t length) {
  GeneratedFile file;
  if (!GeneratedVideo(vtag, &file)) return "";
  return GeneratedBytes(file, offset, length);
}

bool AnswerScenarioFile(std::string_view vtag, const FileAsk& ask, httplib::Response& res) {
  std::string disposition = "attachment; filename=\"" + std::string(vtag) + ".480.mp4\"";
  GeneratedFile file;
  if (vtag == "status204") {
    SendBareStatus(204, "No Content", res);
  } else if (vtag == "status304") {
    SendBareStatus(304, "Not Modified", res);
  } else if (vtag == "htmlerror") {
    res.set_content(Utf8ToCp1251("<html><head><title>Ошибка</title></head><body><h1>Ошибка</h1>"
                                 "<p>Файл временно недоступен.</p></body></html>\n"),
                    "text/html; charset=windows-1251");
  } else if (vtag == "gzipped") {
    res.set_header("Content-Disposition", disposition);
    res.set_header("Content-Encoding", "gzip");
    res.set_content(GzippedFileBytes(), "video/mp4");
  } else if (size_t k = BadNameNumber(vtag, "name")) {
    res.set_header("Content-Disposition", BadNames()[k - 1].disposition);
    ServeGenerated(Generated(kBadNameBase, kMiB, 0), "video/mp4", ask, res);
  } else if (size_t k = BadNameNumber(vtag, "toname")) {
    // Another file server then serves the file under the bad name.
    res.set_redirect("http://cs2.zq.test/u9/video/name" + std::to_string(k) + ".480.mp4", 302);
  } else if (!GeneratedVideo(vtag, &file)) {
    return false;
  } else if (vtag == "chunkcut") {
    ChunkedCut(file, disposition, res);
  } else {
    res.set_header("Content-Disposition", disposition);
    ServeGenerated(file, "video/mp4", ask, res);
  }
  return true;
}

bool AnswerScenarioPicture(std::string_view name, const PictureMedia& media, const FileAsk& ask,
                           httplib::Response& res) {
  if (name == "notpicture.jpg") {
    res.set_content("<html><body>This is not a picture.</body></html>\n", "image/jpeg");
  } else if (name == "truncated.jpg") {
    res.set_content(media.preview ? media.preview->substr(0, 300) : "", "image/jpeg");
  } else if (name == "empty.jpg") {
    res.set_content("", "image/jpeg");
  } else if (name == "random.jpg") {
    std::string bytes = "\xFF\xD8\xFF";
    uint32_t x = 2463534242u;  // xorshift with a fixed seed: the same bytes every time
    while (bytes.size() < 4096) {
      x ^= x << 13, x ^= x >> 17, x ^= x << 5;
      bytes += static_cast<char>(x & 0xFF);
    }
    res.set_content(bytes, "image/jpeg");
  } else if (name == "hugepng.jpg") {
    res.set_content(PngHeaderFile(60000, 60000), "image/png");
  } else if (name == "huge2g.jpg") {
    GeneratedFile file = Generated(kHugePictureBase, 2048 * kMiB, 0);
    file.signature = "\xFF\xD8\xFF\xE0";  // a JPEG's start, for a client that sniffs
    ServeGenerated(file, "image/jpeg", ask, res);
  } else if (name == "big2000.jpg" && media.big) {
    ServeBytes(media.big, media.big_validators, "image/jpeg", ask, res);
  } else {
    return false;
  }
  return true;
}

}  // namespace site
