// Test scenarios: named search texts that make the site answer with hostile pages on
// purpose, so that the program's reliability can be tried against them. They answer for
// guests too. The names are listed in site/README.md.
#pragma once

#include <httplib.h>

#include <atomic>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "files.h"
#include "pages.h"

namespace site {

struct ScenarioInfo {
  const char* name;
  const char* what;  // one line for the README and the home page
};
const std::vector<ScenarioInfo>& Scenarios();

struct ScenarioOptions {
  int stall_ms = 30000;                         // how long zqtest-stall stalls
  const std::atomic<bool>* stopping = nullptr;  // ends a stall early
};

// Owner of the scenario videos ("video-9_<n>") and of their picture files ("/u9/...").
constexpr int kScenarioOwner = -9;

// Answers a search whose text names a scenario (letter case and surrounding blanks do not
// matter); false when it names none.
bool AnswerScenarioSearch(std::string_view text, const Visitor& visitor,
                          const ScenarioOptions& options, httplib::Response& res);
// Answers for a hop of the redirect loop, /zqtest-loop/<n> on zq.test; false for other
// paths.
bool AnswerRedirectLoop(const std::string& path, httplib::Response& res);
// The page evil.test serves for any address: a result page, markers and all, from a host
// that is not the site.
std::string ForeignResultPage();

// Answers for a scenario video page video-9_<vid>; false when there is no such page.
bool AnswerScenarioVideo(int vid, const Visitor& visitor, httplib::Response& res);
// Scenario videos whose pages lead to scenario files.
struct FileVideo {
  std::string scenario;  // the search that lists them
  int vid;               // the page is video-9_<vid>
  std::string vtag;      // the file is /u9/video/<vtag>.480.mp4
  std::string title;     // UTF-8
};
const std::vector<FileVideo>& FileVideos();

// Answers for a scenario file /u9/video/<vtag>.480.mp4 (false for an unknown name); the
// files are listed in site/README.md. "big50" is kBigFileBytes, "cut" announces 20 MiB
// and breaks off at 5 MiB unless asked for a range from there on; both come at
// kScenarioFileRate bytes a second.
constexpr size_t kBigFileBytes = 50u << 20;
constexpr size_t kScenarioFileRate = 20u << 20;
constexpr size_t kSlowFileRate = 5u << 20;
bool AnswerScenarioFile(std::string_view vtag, const FileAsk& ask, httplib::Response& res);
// The bytes of a generated scenario file (as its whole answer would carry them), empty
// for a file that is not generated.
std::string ScenarioFileBytes(std::string_view vtag, uint64_t offset, size_t length);
// The generated pictures the scenario pictures are made from.
struct PictureMedia {
  std::shared_ptr<const std::string> preview;  // a genuine preview (cut short for one)
  std::shared_ptr<const std::string> big;      // the genuine 2000 x 2000 JPEG
  Validators big_validators;
};
// Answers for a scenario picture /u9/preview/<name>; false when there is no such file.
bool AnswerScenarioPicture(std::string_view name, const PictureMedia& media, const FileAsk& ask,
                           httplib::Response& res);

// A PNG file whose header claims width x height pixels, with a tiny real image body.
std::string PngHeaderFile(uint32_t width, uint32_t height);

}  // namespace site
