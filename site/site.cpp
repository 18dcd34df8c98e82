#include "site.h"

#include <cctype>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "catalogue.h"
#include "cp1251.h"
#include "encoding.h"
#include "files.h"
#include "pages.h"

namespace site {
namespace {

const char kHtml[] = "text/html; charset=windows-1251";
const char kSiteRoot[] = "http://zq.test/";

long long SteadyMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

bool ReadFile(const std::string& path, std::string* out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::stringstream s;
  s << in.rdbuf();
  *out = s.str();
  return true;
}

// Reads a decimal number at s[*pos], with an optional minus sign when `negative_ok`.
bool ReadNumber(const std::string& s, size_t* pos, bool negative_ok, int* value) {
  size_t p = *pos;
  bool negative = false;
  if (negative_ok && p < s.size() && s[p] == '-') {
    negative = true;
    ++p;
  }
  size_t start = p;
  long long n = 0;
  while (p < s.size() && std::isdigit(static_cast<unsigned char>(s[p])) && p - start < 9) {
    n = n * 10 + (s[p] - '0');
    ++p;
  }
  if (p == start || (p < s.size() && std::isdigit(static_cast<unsigned char>(s[p])))) return false;
  *value = static_cast<int>(negative ? -n : n);
  *pos = p;
  return true;
}

// "/video<oid>_<vid>"
bool ParseVideoPath(const std::string& path, int* oid, int* vid) {
  if (path.compare(0, 6, "/video") != 0) return false;
  size_t p = 6;
  if (!ReadNumber(path, &p, true, oid)) return false;
  if (p >= path.size() || path[p] != '_') return false;
  ++p;
  return ReadNumber(path, &p, false, vid) && p == path.size();
}

bool EndsWith(const std::string& s, const std::string& suffix) {
  return s.size() >= suffix.size() &&
         s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// Compresses an HTML page held whole in memory when the client asked for a coding the site
// knows; streamed pages (the long and the broken ones) go out as they are.
void CompressPage(Exchange& ex, httplib::Response& res) {
  if (res.content_provider_ || res.body.empty() ||
      res.get_header_value("Content-Type").compare(0, 9, "text/html") != 0 ||
      res.has_header("Content-Encoding")) {
    return;
  }
  res.set_header("Vary", "Accept-Encoding");
  Coding coding = ChooseCoding(ex.head.accept_encoding);
  if (coding == Coding::kIdentity) return;
  std::string packed = Compress(res.body, coding);
  if (packed.empty()) return;
  res.body = std::move(packed);
  res.set_header("Content-Encoding", CodingName(coding));
  ex.coding = CodingName(coding);
}

}  // namespace

Site::Site(SiteOptions options, Accounts accounts, const std::atomic<bool>& stopping,
           RequestLog* log)
    : options_(std::move(options)), accounts_(std::move(accounts)), stopping_(stopping), log_(log) {
  if (options_.session_seconds > 0)
    sessions_.SetLifetime(std::chrono::seconds(options_.session_seconds));
  scenario_options_.stall_ms = options_.stall_ms;
  scenario_options_.stopping = &stopping_;
  last_activity_ms_ = SteadyMs();
}

Site::StoredFile Site::Stored(std::string bytes) {
  StoredFile file;
  file.validators = ValidatorsOf(Fingerprint(bytes));
  file.data = std::make_shared<const std::string>(std::move(bytes));
  return file;
}

int Site::LoadMedia() {
  int found = 0;
  for (int clip = 0; clip < kClipCount; ++clip) {
    std::string bytes;
    if (ReadFile(options_.media_dir + "/clip-" + std::to_string(clip) + ".mp4", &bytes)) {
      clips_[clip] = Stored(std::move(bytes));
      ++found;
    }
  }
  for (const Video& v : Catalogue()) {
    char name[32];
    std::snprintf(name, sizeof name, "/preview-%03d.jpg", v.index);
    std::string bytes;
    if (ReadFile(options_.media_dir + name, &bytes)) {
      previews_[v.index] = Stored(std::move(bytes));
      ++found;
    }
  }
  std::string bytes;
  if (ReadFile(options_.media_dir + "/picture-2000.jpg", &bytes)) {
    big_picture_ = Stored(std::move(bytes));
    ++found;
  }
  return found;
}

void Site::Install(FrontServer& server) {
  // Answers go out as soon as they are written: without this, the body that follows the
  // head waits for the client's delayed acknowledgement (tens of milliseconds per page).
  server.set_tcp_nodelay(true);
  server.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
    Handle(req, res);
    return httplib::Server::HandlerResponse::Handled;
  });
  // Answers the library makes up itself (a malformed Range header, say) get a text body.
  server.set_error_handler(
      httplib::Server::HandlerWithResponse([](const httplib::Request&, httplib::Response& res) {
        if (!res.body.empty() || res.content_provider_)
          return httplib::Server::HandlerResponse::Unhandled;
        res.set_content(std::to_string(res.status) + " error\n", "text/plain; charset=us-ascii");
        return httplib::Server::HandlerResponse::Handled;
      }));
  server.set_logger([this](const httplib::Request& req, const httplib::Response& res) {
    if (Exchange* ex = CurrentExchange()) Log(&req, *ex, res.status, ex->body_bytes());
  });
  server.OnReject(
      [this](const Exchange& ex, int status, size_t bytes) { Log(nullptr, ex, status, bytes); });
}

void Site::Log(const httplib::Request* req, const Exchange& ex, int status, size_t bytes) {
  last_activity_ms_ = SteadyMs();
  if (!log_) return;
  LogEntry e;
  e.method = ex.head.method;
  e.target = ex.head.raw_target;
  if (e.method.empty()) {  // refused before a method could be told: log the line itself
    e.method = "-";
    e.target = ex.head.raw_line;
  }
  e.host = ex.head.absolute_form ? ex.head.target_host : HostName(ex.head.host_header);
  if (e.host.empty()) e.host = "-";
  std::string cookies = req ? req->get_header_value("Cookie") : ex.head.cookie_header;
  e.cookie = !Sessions::TokenFromCookies(cookies).empty();
  e.status = status;
  e.bytes = bytes;
  e.coding = ex.coding;
  e.connection = ex.connection;
  e.request = ex.request;
  log_->Write(e);
}

Visitor Site::VisitorOf(const httplib::Request& req) const {
  Visitor v;
  v.token = Sessions::TokenFromCookies(req.get_header_value("Cookie"));
  v.email = sessions_.Lookup(v.token);
  v.logged_in = !v.email.empty();
  return v;
}

void Site::Error(httplib::Response& res, int status, const std::string& message_utf8) {
  res.status = status;
  res.set_content(ErrorPage(status, message_utf8), kHtml);
}

void Site::Handle(const httplib::Request& req, httplib::Response& res) {
  Exchange* ex = CurrentExchange();
  if (!ex) {  // only requests that came through the front layer are answered
    res.status = 500;
    return;
  }
  const RequestHead& head = ex->head;
  std::string host = head.absolute_form ? head.target_host : HostName(head.host_header);
  if (host.empty()) {
    res.status = 400;
    res.set_content("400 Bad Request: Host header missing or malformed\n",
                    "text/plain; charset=us-ascii");
    return;
  }
  std::string path, query;
  SplitTarget(head.origin_target, &path, &query);
  HostInfo info = ClassifyHost(host);
  switch (info.kind) {
    case HostKind::kSite:
      res.set_header("Cache-Control", "no-cache");
      SitePage(path, query, VisitorOf(req), res);
      break;
    case HostKind::kLogin:
      res.set_header("Cache-Control", "no-cache");
      Login(path, query, res);
      break;
    case HostKind::kFileServer:
      FileServer(info.server, path, FileAsk{head.range_header, req.get_header_value("If-Range")},
                 res);
      break;
    case HostKind::kForeign:
      res.set_content(ForeignResultPage(), kHtml);
      break;
    case HostKind::kAuthor:
      if (path == "/") {
        res.set_content(AuthorPage(), kHtml);
      } else {
        Error(res, 404, "Страница не найдена.");
      }
      break;
    case HostKind::kUnknown:
      res.status = 421;
      res.set_content(
          "421 Misdirected Request: this server answers for zq.test and its "
          "subdomains only, not for " +
              host + "\n",
          "text/plain; charset=us-ascii");
      break;
  }
  if (info.kind != HostKind::kFileServer) CompressPage(*ex, res);
}

void Site::SitePage(const std::string& path, const std::string& query, const Visitor& visitor,
                    httplib::Response& res) {
  int oid = 0, vid = 0;
  if (path == "/" || path == "/index.php") {
    res.set_content(HomePage(visitor), kHtml);
  } else if (path == "/gsearch.php") {
    Search(query, visitor, res);
  } else if (ParseVideoPath(path, &oid, &vid)) {
    // The scenarios' pages answer guests too, as their searches do.
    if (oid == kScenarioOwner && AnswerScenarioVideo(vid, visitor, res)) return;
    const Video* v = FindVideo(oid, vid);
    if (!v) return Error(res, 404, "Видеозапись не найдена.");
    if (!visitor.logged_in && !options_.open_search) {
      res.set_content(LoginRequiredPage(visitor,
                                        "Видеозаписи доступны только участникам сайта. "
                                        "Войдите, чтобы посмотреть."),
                      kHtml);
      return;
    }
    res.set_content(VideoPage(*v, visitor), kHtml);
  } else if (path == "/video_ext.php") {
    std::optional<std::string> o = RawField(query, "oid"), i = RawField(query, "id"),
                               h = RawField(query, "hash");
    const Video* v = nullptr;
    if (o && i) {
      try {
        v = FindVideo(std::stoi(*o), std::stoi(*i));
      } catch (const std::exception&) {
        v = nullptr;
      }
    }
    if (!v) return Error(res, 404, "Видеозапись не найдена.");
    if (!h || *h != v->hash2) return Error(res, 403, "Неверный ключ видеозаписи.");
    res.set_content(PlayerPage(*v), kHtml);
  } else if (path == "/css/site.css") {
    res.set_content(kStyleSheet, "text/css");
  } else if (path == "/js/player.js") {
    res.set_content(kPlayerScript, "application/javascript");
  } else if (path.compare(0, 13, "/zqtest-loop/") == 0) {
    if (!AnswerRedirectLoop(path, res)) Error(res, 404, "Страница не найдена.");
  } else if (path == "/zqtest-expire-sessions") {
    // Lets a test end every session at once: the clients' cookies become unknown.
    res.set_content("expired " + std::to_string(sessions_.ForgetAll()) + "\n",
                    "text/plain; charset=us-ascii");
  } else if (path == "/logout") {
    sessions_.Close(visitor.token);
    res.set_header("Set-Cookie", Sessions::ClearingCookieHeader());
    res.set_redirect(kSiteRoot);
  } else {
    Error(res, 404, "Страница не найдена.");
  }
}

void Site::Search(const std::string& query, const Visitor& visitor, httplib::Response& res) {
  std::string text = SearchText(query);
  if (AnswerScenarioSearch(text, visitor, scenario_options_, res)) return;
  bool withheld = !visitor.logged_in && !options_.open_search;
  std::vector<std::string> words = QueryWords(text);
  std::vector<const Video*> results;
  if (!withheld) results = site::Search(words);
  res.set_content(SearchPage(results, words, visitor, withheld), kHtml);
}

void Site::Login(const std::string& path, const std::string& query, httplib::Response& res) {
  if (path != "/") return Error(res, 404, "Страница не найдена.");
  LoginFields fields = LoginQuery(query);
  if (!fields.present) {
    res.set_content(LoginFailedPage(), kHtml);
    return;
  }
  if (!accounts_.Check(fields)) {
    res.set_content(LoginFailedPage(), kHtml);
    return;
  }
  std::string token = sessions_.Open(fields.email);
  res.set_header("Set-Cookie", Sessions::CookieHeader(token, Sessions::Clock::now()));
  res.set_redirect(kSiteRoot);
  res.set_content(Utf8ToCp1251("<html><body><a href=\"http://zq.test/\">Вы вошли на сайт</a>"
                               "</body></html>\n"),
                  kHtml);
}

void Site::FileServer(int server, const std::string& path, const FileAsk& ask,
                      httplib::Response& res) {
  // "/u<uid>/video/<vtag>.480.mp4" or "/u<uid>/preview/<vtag>.jpg"
  int uid = 0;
  size_t p = 2;
  if (path.compare(0, 2, "/u") != 0 || !ReadNumber(path, &p, false, &uid) || p >= path.size() ||
      path[p] != '/') {
    return Error(res, 404, "Файл не найден.");
  }
  std::string rest = path.substr(p + 1);
  if (rest.compare(0, 6, "video/") == 0 && EndsWith(rest, ".480.mp4")) {
    std::string vtag = rest.substr(6, rest.size() - 6 - 8);
    if (uid == -kScenarioOwner && AnswerScenarioFile(vtag, ask, res)) return;
    const Video* v = FindByFile(uid, vtag);
    if (!v || v->server != server) return Error(res, 404, "Файл не найден.");
    auto clip = clips_.find(v->clip);
    if (clip == clips_.end()) return Error(res, 404, "Видеофайлы не созданы (media).");
    res.set_header("Content-Disposition", "attachment; filename=\"" + vtag + ".480.mp4\"");
    ServeBytes(clip->second.data, clip->second.validators, "video/mp4", ask, res);
  } else if (rest.compare(0, 8, "preview/") == 0) {
    std::string name = rest.substr(8);
    if (uid == -kScenarioOwner) {
      PictureMedia media;
      if (auto first = previews_.find(0); first != previews_.end())
        media.preview = first->second.data;
      media.big = big_picture_.data;
      media.big_validators = big_picture_.validators;
      if (AnswerScenarioPicture(name, media, ask, res)) return;
      return Error(res, 404, "Файл не найден.");
    }
    if (!EndsWith(name, ".jpg")) return Error(res, 404, "Файл не найден.");
    const Video* v = FindByFile(uid, name.substr(0, name.size() - 4));
    if (!v || v->server != server) return Error(res, 404, "Файл не найден.");
    auto pic = previews_.find(v->index);
    if (pic == previews_.end()) return Error(res, 404, "Картинки не созданы (media).");
    ServeBytes(pic->second.data, pic->second.validators, "image/jpeg", ask, res);
  } else {
    Error(res, 404, "Файл не найден.");
  }
}

}  // namespace site
