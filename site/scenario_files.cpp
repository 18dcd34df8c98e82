// The scenario owner's files and pictures (/u9/...): big, slow, cut and range-less files
// made on the fly, and pictures that are not what they seem.
#include <memory>

#include "cp1251.h"
#include "files.h"
#include "scenarios.h"

namespace site {
namespace {

constexpr uint64_t kMiB = 1u << 20;
constexpr uint64_t kBaseStep = 1ull << 40;  // distance between the files' pattern bases

const std::vector<FileVideo> kFileVideos = {
    {"zqtest-video-files", 11, "big50", "A file of 50 MiB"},
    {"zqtest-video-files", 12, "cut", "A file cut off"},
    {"zqtest-video-files", 13, "big50b", "Another file of 50 MiB"},
    {"zqtest-video-norange", 14, "norange", "A file served without ranges"},
    {"zqtest-video-slow", 15, "slow50", "A slow file of 50 MiB"},
    {"zqtest-video-big1g", 16, "big1g", "A file of 1 GiB"},
};

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
  } else {
    return false;
  }
  return true;
}

}  // namespace

const std::vector<FileVideo>& FileVideos() { return kFileVideos; }

std::string ScenarioFileBytes(std::string_view vtag, uint64_t offset, size_t length) {
  GeneratedFile file;
  if (!GeneratedVideo(vtag, &file)) return "";
  return GeneratedBytes(file, offset, length);
}

bool AnswerScenarioFile(std::string_view vtag, const FileAsk& ask, httplib::Response& res) {
  GeneratedFile file;
  if (!GeneratedVideo(vtag, &file)) return false;
  res.set_header("Content-Disposition",
                 "attachment; filename=\"" + std::string(vtag) + ".480.mp4\"");
  ServeGenerated(file, "video/mp4", ask, res);
  return true;
}

bool AnswerScenarioPicture(std::string_view name, const std::string& real_jpeg, const FileAsk& ask,
                           httplib::Response& res) {
  (void)ask;
  if (name == "notpicture.jpg") {
    res.set_content("<html><body>This is not a picture.</body></html>\n", "image/jpeg");
  } else if (name == "truncated.jpg") {
    res.set_content(real_jpeg.substr(0, 300), "image/jpeg");
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
  } else {
    return false;
  }
  return true;
}

}  // namespace site
