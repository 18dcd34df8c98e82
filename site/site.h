// The site's request handling: which host and path get which answer.
//
// Hosts: zq.test (pages, search, video pages, the embeddable player), login.zq.test (the
// login endpoint), cs<N>.zq.test (file servers: video files and preview pictures) and
// author.zq.test (the author's page). Any other host gets 421.
#pragma once

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <string>

#include "accounts.h"
#include "files.h"
#include "front.h"
#include "reqlog.h"
#include "scenarios.h"

namespace site {

struct SiteOptions {
  bool open_search = false;  // guests get search results and video pages too
  int session_seconds = 0;   // how long a session is known after its login; 0: 30 days
  std::string media_dir;     // generated clips and previews
  int stall_ms = 30000;      // length of the zqtest-stall pause
};

class Site {
 public:
  Site(SiteOptions options, Accounts accounts, const std::atomic<bool>& stopping, RequestLog* log);

  // Reads the generated clips and previews into memory; returns how many files were
  // found. Missing files are answered with 404.
  int LoadMedia();

  // Routes every request of the server to this site and logs each answer.
  void Install(FrontServer& server);

  void Handle(const httplib::Request& req, httplib::Response& res);

  // Steady-clock time (ms) of the last answered request, or of the start.
  long long LastActivityMs() const { return last_activity_ms_; }

 private:
  struct StoredFile {
    std::shared_ptr<const std::string> data;
    Validators validators;
  };
  static StoredFile Stored(std::string bytes);

  Visitor VisitorOf(const httplib::Request& req) const;
  void SitePage(const std::string& path, const std::string& query, const Visitor& visitor,
                httplib::Response& res);
  void Search(const std::string& query, const Visitor& visitor, httplib::Response& res);
  void Login(const std::string& path, const std::string& query, httplib::Response& res);
  void FileServer(int server, const std::string& path, const FileAsk& ask, httplib::Response& res);
  void Error(httplib::Response& res, int status, const std::string& message_utf8);
  void Log(const httplib::Request* req, const Exchange& ex, int status, size_t bytes);

  SiteOptions options_;
  Accounts accounts_;
  Sessions sessions_;
  const std::atomic<bool>& stopping_;
  RequestLog* log_;
  ScenarioOptions scenario_options_;
  std::map<int, StoredFile> clips_;     // clip number -> MP4 file
  std::map<int, StoredFile> previews_;  // catalogue index -> JPEG file
  StoredFile big_picture_;              // the 2000 x 2000 JPEG of a test scenario
  std::atomic<long long> last_activity_ms_;
};

}  // namespace site
