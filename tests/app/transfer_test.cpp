// The download service against a loopback server that misbehaves on purpose: the limits
// end stalled transfers, answers that are not what was asked for (cut, empty, HTML for a
// video, coded, redirected away or round a loop, too big) are refused and never touch the
// target, a transfer given up stops at once, resumes continue or restart as the server
// says, nothing is left behind, and connections are reused, also through a proxy. The
// target lies in a folder named in two scripts, which no single code page holds; the names
// the server gives keep their characters.
#include <winsock2.h>
// after winsock2.h
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "deflated.h"
#include "seqfile.h"
#include "temp_dir.h"
#include "transfer.h"
#include "wide.h"

namespace {

// Names the server gives: "Фильм.mp4" in UTF-8 and in Windows-1251 bytes, "电影.mp4" as
// filename* beside a plain name.
const char* const kDispositions[] = {
    "attachment; filename=\"\xD0\xA4\xD0\xB8\xD0\xBB\xD1\x8C\xD0\xBC.mp4\"",
    "attachment; filename=\"\xD4\xE8\xEB\xFC\xEC.mp4\"",
    "attachment; filename=\"x.mp4\"; filename*=UTF-8''%E7%94%B5%E5%BD%B1.mp4"};

// The text the coded answers decode to, and the ranged resource /file.
const std::string kText = [] {
  std::string text;
  for (int i = 0; i < 2000; ++i) text += "line " + std::to_string(i) + " of the page\n";
  return text;
}();
const std::string kFile = [] {
  std::string bytes(300000, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 % 251);
  return bytes;
}();

struct Seen {
  std::string target, range, ifRange, acceptEncoding;
};

// Answers by path (a proxy-form target is read as its path): /ok/N (N bytes), /named/K,
// /404, /silent (never answers), /stall (half the body, then nothing), /cut (closes
// half-way), /trickle (a byte every 300 ms), and the cases of the tests below.
class MisbehavingServer {
 public:
  MisbehavingServer() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof address;
    bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(listener_, 16);
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
    std::thread([this] {
      SOCKET client;
      while ((client = accept(listener_, nullptr, nullptr)) != INVALID_SOCKET) {
        ++connections;
        std::thread([this, client] { Serve(client); }).detach();
      }
    }).detach();
  }
  ~MisbehavingServer() {
    stop_ = true;
    closesocket(listener_);
  }
  std::string Url(const std::string& path) const { return "http://" + Host() + path; }
  std::string Host() const { return "127.0.0.1:" + std::to_string(port_); }
  // Requests whose target starts with `prefix`; the last one in `last`.
  int Requests(const std::string& prefix, Seen* last = nullptr) {
    std::lock_guard<std::mutex> lock(lock_);
    int n = 0;
    for (const Seen& seen : seen_)
      if (seen.target.find(prefix) != std::string::npos) {
        ++n;
        if (last) *last = seen;
      }
    return n;
  }
  std::atomic<int> connections{0};
  std::atomic<int> loopDelayMs{0};
  std::atomic<size_t> endlessSent{0};

 private:
  static std::string Field(const std::string& head, const std::string& name) {
    size_t at = head.find("\r\n" + name + ": ");
    if (at == std::string::npos) return "";
    at += name.size() + 4;
    return head.substr(at, head.find("\r\n", at) - at);
  }
  bool Send(SOCKET client, const std::string& bytes) {
    return send(client, bytes.data(), static_cast<int>(bytes.size()), 0) ==
           static_cast<int>(bytes.size());
  }
  bool SendBody(SOCKET client, const std::string& head, const std::string& body) {
    return Send(client,
                head + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body);
  }
  std::string Chunk(const std::string& data) {
    char size[16];
    std::snprintf(size, sizeof size, "%zx\r\n", data.size());
    return size + data + "\r\n";
  }
  // /file and its variants: Range honoured when If-Range names "v1" (or is absent).
  bool SendFile(SOCKET client, const std::string& path, const Seen& seen) {
    const std::string head = "HTTP/1.1 ";
    size_t from = 0;
    bool ranged = seen.range.rfind("bytes=", 0) == 0 &&
                  (seen.ifRange.empty() || seen.ifRange == "\"v1\"") && path != "/file-norange";
    if (ranged) from = std::stoul(seen.range.substr(6));
    std::string body = kFile.substr(from);
    std::string fields = "Content-Type: video/mp4\r\nETag: \"v1\"\r\n";
    if (ranged)
      fields += "Content-Range: bytes " + std::to_string(path == "/file-wrong" ? 0 : from) + "-" +
                std::to_string(kFile.size() - 1) + "/" + std::to_string(kFile.size()) + "\r\n";
    std::string answer = head + (ranged ? "206 Partial Content\r\n" : "200 OK\r\n") + fields +
                         "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n";
    if (path == "/file-cut") return Send(client, answer + body.substr(0, body.size() / 2)), false;
    return Send(client, answer + body);
  }
  // Answers one request; false when the connection is to be closed.
  bool Answer(SOCKET client, const Seen& seen) {
    const std::string& path = seen.target;
    const std::string ok = "HTTP/1.1 200 OK\r\n";
    if (path.rfind("/ok/", 0) == 0)
      return SendBody(client, ok, std::string(static_cast<size_t>(std::stoi(path.substr(4))), 'x'));
    if (path.rfind("/named/", 0) == 0)
      return SendBody(client, ok + "Content-Disposition: " + kDispositions[path[7] - '0'] + "\r\n",
                      "video");
    if (path.rfind("/file", 0) == 0) return SendFile(client, path, seen);
    if (path == "/chunked")
      return Send(client, ok + "Transfer-Encoding: chunked\r\n\r\n" + Chunk("hello ") +
                              Chunk("world") + "0\r\nX-Trailer: 1\r\n\r\n");
    if (path == "/chunked-cut")
      Send(client, ok + "Transfer-Encoding: chunked\r\n\r\n" + Chunk("hello ") + Chunk("wor"));
    if (path == "/endless") {  // chunks for ever, until the client lets go
      Send(client, ok + "Transfer-Encoding: chunked\r\n\r\n");
      std::string chunk = Chunk(std::string(65536, 'e'));
      while (!stop_ && endlessSent < (256u << 20) && Send(client, chunk)) endlessSent += 65536;
    }
    if (path == "/slowbig") {  // 3 MiB in pieces with pauses between
      std::string body(3 << 20, '\0');
      for (size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>(i * 13 % 241);
      Send(client, ok + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n");
      for (size_t at = 0; at < body.size(); at += 48 * 1024, Sleep(3))
        Send(client, body.substr(at, 48 * 1024));
      return true;
    }
    if (path == "/gzip" || path == "/badgzip")
      return SendBody(client, ok + "Content-Encoding: gzip\r\n",
                      path == "/gzip" ? Coded(kText, 31) : Coded(kText, 31).substr(0, 500));
    if (path == "/deflate")
      return SendBody(client, ok + "Content-Encoding: deflate\r\n", Coded(kText, 15));
    if (path == "/rawdeflate")
      return SendBody(client, ok + "Content-Encoding: deflate\r\n", Coded(kText, -15));
    if (path == "/brotli") return SendBody(client, ok + "Content-Encoding: br\r\n", "\x0b\x02\x80");
    if (path == "/204") Send(client, "HTTP/1.1 204 No Content\r\n\r\n");
    if (path == "/304") Send(client, "HTTP/1.1 304 Not Modified\r\n\r\n");
    if (path == "/empty") return SendBody(client, ok, "");
    if (path == "/html") return SendBody(client, ok + "Content-Type: text/html\r\n", "<h1>");
    if (path == "/huge")
      Send(client, ok + "Content-Length: 100000000\r\n\r\n" + std::string(1000, 'h'));
    if (path == "/away")
      return SendBody(client, "HTTP/1.1 302 Found\r\nLocation: http://elsewhere.invalid/x\r\n", "");
    if (path == "/here") return SendBody(client, "HTTP/1.1 302 Found\r\nLocation: /ok/7\r\n", "");
    if (path.rfind("/loop/", 0) == 0) {
      Sleep(static_cast<DWORD>(loopDelayMs));
      return SendBody(client,
                      "HTTP/1.1 302 Found\r\nLocation: /loop/" +
                          std::to_string(std::stoi(path.substr(6)) + 1) + "\r\n",
                      "");
    }
    if (path == "/404") Send(client, "HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n\r\ngone");
    if (path == "/stall" || path == "/cut")
      Send(client, ok + "Content-Length: 1000\r\n\r\n" + std::string(500, 's'));
    if (path == "/trickle") {
      Send(client, ok + "Content-Length: 1000\r\n\r\n");
      for (int i = 0; i < 100 && !stop_; ++i, Sleep(300)) Send(client, "t");
    }
    char buffer[256];
    if (path == "/silent" || path == "/stall")
      while (!stop_ && recv(client, buffer, sizeof buffer, 0) > 0) {
      }
    return false;
  }
  void Serve(SOCKET client) {
    std::string head;
    char buffer[4096];
    for (;;) {
      size_t end = head.find("\r\n\r\n");
      if (end == std::string::npos) {
        int got = recv(client, buffer, sizeof buffer, 0);
        if (got <= 0) break;
        head.append(buffer, static_cast<size_t>(got));
        continue;
      }
      std::string request = head.substr(0, end + 2);
      head.erase(0, end + 4);
      Seen seen{request.substr(4, request.find(' ', 4) - 4), Field(request, "Range"),
                Field(request, "If-Range"), Field(request, "Accept-Encoding")};
      {
        std::lock_guard<std::mutex> lock(lock_);
        seen_.push_back(seen);
      }
      if (seen.target.rfind("http://", 0) == 0)
        seen.target.erase(0, seen.target.find('/', 7));  // the proxy form
      if (!Answer(client, seen)) break;
    }
    closesocket(client);
  }

  SOCKET listener_ = INVALID_SOCKET;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::mutex lock_;
  std::vector<Seen> seen_;
};

std::string Read(const std::string& path) { return ReadWholeFile(path); }

// Files in the folder whose names start with `prefix`.
int FilesStartingWith(const std::string& folder, const std::string& prefix) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(WideFromPath(folder + prefix + "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return 0;
  int count = 0;
  do ++count;
  while (FindNextFileW(search, &found));
  FindClose(search);
  return count;
}

class TransferTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // "transfer 用户 Пользователь"
    folder_ = TempDirectory() +
              "transfer \xE7\x94\xA8\xE6\x88\xB7 \xD0\x9F\xD0\xBE\xD0\xBB\xD1\x8C\xD0\xB7\xD0\xBE"
              "\xD0\xB2\xD0\xB0\xD1\x82\xD0\xB5\xD0\xBB\xD1\x8C\\";
    ASSERT_TRUE(CreateDirectoryW(WideFromPath(folder_).c_str(), nullptr));
    target_ = folder_ + "transfer-test.txt";
    partial_ = folder_ + "video.part";
    WriteWholeFile(target_, "the previous file");
    TransferSetProxy("-");
    TransferSetSite("http://127.0.0.1/");
  }
  void TearDown() override { RemoveScratchDir(folder_); }
  // Transfers `path` with short limits; the time it took in ms.
  DWORD Time(const std::string& path, TransferResult& result,
             TransferKind kind = TransferKind::PAGE, uint64_t maxBytes = 0) {
    DWORD start = GetTickCount();
    result = TransferFile(server_.Url(path), target_, {1000, 1000, 2500, maxBytes}, kind);
    return GetTickCount() - start;
  }
  // A video file into `partial_`, resuming with `validator`.
  TransferResult Resume(const std::string& path, const String& validator) {
    TransferResume resume{partial_, validator};
    Transfer* transfer =
        TransferBegin(server_.Url(path), target_, {2000, 2000, 5000}, TransferKind::FILE, &resume);
    WaitForSingleObject(TransferSignal(transfer), 6000);
    TransferResult result = TransferResultOf(transfer);
    TransferRelease(transfer);
    return result;
  }
  // The target as it was, and nothing of the transfer beside it.
  void ExpectUntouched(const std::string& what = "") {
    EXPECT_EQ(Read(target_), "the previous file") << what;
    EXPECT_EQ(FilesStartingWith(folder_, "transfer-test.txt"), 1) << what;
  }
  MisbehavingServer server_;
  std::string folder_, target_, partial_;
};

TEST_F(TransferTest, ReplacesTheTargetWholeAndReusesTheConnection) {
  TransferResult result;
  for (int size : {70000, 3, 1}) {
    Time("/ok/" + std::to_string(size), result);
    ASSERT_TRUE(result.Ok());
    EXPECT_EQ(Read(target_), std::string(static_cast<size_t>(size), 'x'));
  }
  Time("/chunked", result);  // its last chunk and trailer read, so the connection stays
  EXPECT_EQ(Read(target_), "hello world");
  Time("/here", result);  // redirected within the site
  EXPECT_EQ(Read(target_), std::string(7, 'x'));
  EXPECT_EQ(server_.connections, 1);
  // A body that keeps the reader waiting arrives byte for byte.
  result = TransferFile(server_.Url("/slowbig"), target_, {2000, 2000, 20000});
  ASSERT_TRUE(result.Ok());
  std::string body = Read(target_);
  ASSERT_EQ(body.size(), 3u << 20);
  for (size_t i = 0; i < body.size(); ++i)
    if (body[i] != static_cast<char>(i * 13 % 241)) FAIL() << "byte " << i << " differs";
  EXPECT_EQ(FilesStartingWith(folder_, "transfer-test.txt"), 1);
}

TEST_F(TransferTest, ConnectionsAreReusedThroughAProxy) {
  TransferSetProxy(server_.Host());
  for (int i = 0; i < 20; ++i) ASSERT_TRUE(TransferFile("http://zq.test/ok/100", target_).Ok());
  TransferSetProxy("-");
  Seen last;
  EXPECT_EQ(server_.Requests("http://zq.test:80/ok/100", &last), 20);
  EXPECT_EQ(server_.connections, 1);
}

TEST_F(TransferTest, TheServersNameIsSavedWithItsCharactersBesideATakenOne) {
  const std::string film = "\xD0\xA4\xD0\xB8\xD0\xBB\xD1\x8C\xD0\xBC.mp4";
  const std::pair<int, std::string> cases[] = {
      {0, film}, {0, film}, {2, "\xE7\x94\xB5\xE5\xBD\xB1.mp4"}, {1, film}};
  for (const auto& [kind, name] : cases) {
    Transfer* transfer =
        TransferBegin(server_.Url("/named/" + std::to_string(kind)), target_, {2000, 2000, 5000});
    ASSERT_NE(transfer, nullptr);
    WaitForSingleObject(TransferSignal(transfer), 5000);
    TransferResult result = TransferResultOf(transfer);
    ASSERT_TRUE(result.Ok()) << kind;
    EXPECT_EQ(result.suggestedName, name) << kind;
    std::string saved;
    EXPECT_TRUE(TransferSave(transfer, folder_ + result.suggestedName, false, &saved)) << kind;
    TransferRelease(transfer);
    EXPECT_EQ(Read(saved), "video") << kind;
  }
  EXPECT_EQ(Read(folder_ + film.substr(0, 10) + " (2).mp4"), "video");  // beside the first
  EXPECT_EQ(FilesStartingWith(folder_, "transfer-test.txt"), 1);        // no private file left
}

TEST_F(TransferTest, AnswersThatAreNotWhatWasAskedForLeaveThePreviousFile) {
  struct Case {
    const char* path;
    TransferKind kind;
    uint64_t maxBytes;
    TransferStatus status;
    AnswerFault fault;
  };
  const TransferKind page = TransferKind::PAGE, video = TransferKind::FILE;
  const TransferStatus bad = TransferStatus::BAD_ANSWER;
  const Case cases[] = {
      {"/404", page, 0, TransferStatus::HTTP_ERROR, AnswerFault::NONE},
      {"/cut", page, 0, TransferStatus::CUT, AnswerFault::NONE},
      {"/chunked-cut", page, 0, TransferStatus::CUT, AnswerFault::NONE},
      {"/204", page, 0, bad, AnswerFault::NO_CONTENT},
      {"/304", video, 0, bad, AnswerFault::NO_CONTENT},
      {"/empty", page, 0, bad, AnswerFault::EMPTY},
      {"/html", video, 0, bad, AnswerFault::WEB_PAGE},
      {"/away", page, 0, bad, AnswerFault::OFF_SITE},
      {"/loop/0", page, 0, bad, AnswerFault::TOO_MANY_REDIRECTS},
      {"/huge", page, 1 << 20, bad, AnswerFault::TOO_BIG},     // said at the head
      {"/endless", page, 1 << 20, bad, AnswerFault::TOO_BIG},  // counted as it comes
      {"/gzip", page, 1000, bad, AnswerFault::TOO_BIG},        // counted decoded
      {"/badgzip", page, 0, bad, AnswerFault::CODING},
      {"/brotli", page, 0, bad, AnswerFault::CODING},
  };
  for (const Case& c : cases) {
    TransferResult result;
    Time(c.path, result, c.kind, c.maxBytes);
    EXPECT_EQ(result.status, c.status) << c.path;
    EXPECT_EQ(result.fault, c.fault) << c.path;
    EXPECT_FALSE(TransferFailureText(result).empty()) << c.path;
    ExpectUntouched(c.path);
  }
  EXPECT_EQ(server_.Requests("/loop/"), 11);  // the first and 10 redirects
  EXPECT_LT(server_.endlessSent, 64u << 20);  // the endless answer was let go
  EXPECT_EQ(TransferFile("http://127.0.0.1:1/", target_).status, TransferStatus::REFUSED);
  ExpectUntouched();
}

TEST_F(TransferTest, CompressedAnswersAreDecodedAskedForOrNot) {
  for (const char* path : {"/gzip", "/deflate", "/rawdeflate"})
    for (TransferKind kind : {TransferKind::PAGE, TransferKind::FILE}) {
      TransferResult result;
      Time(path, result, kind);
      ASSERT_TRUE(result.Ok()) << path;
      EXPECT_EQ(Read(target_), kText) << path;
      EXPECT_TRUE(result.validator.empty());  // decoded bytes cannot be resumed
      Seen seen;
      server_.Requests(path, &seen);
      EXPECT_EQ(seen.acceptEncoding, kind == TransferKind::PAGE ? "gzip, deflate" : "") << path;
    }
}

// The way https goes: WinINet carries the request, and the answer is judged alike (only a
// chunked answer cut between its chunks looks whole there).
TEST_F(TransferTest, AnswersCarriedByWinInetAreJudgedAlike) {
  TransferSetProxy("*");
  TransferResult result;
  for (const char* path : {"/ok/70000", "/gzip"}) {
    Time(path, result);
    EXPECT_TRUE(result.Ok()) << path;
    EXPECT_EQ(Read(target_), path[1] == 'o' ? std::string(70000, 'x') : kText) << path;
  }
  WriteWholeFile(target_, "the previous file");
  const std::pair<const char*, AnswerFault> refused[] = {
      {"/204", AnswerFault::NO_CONTENT},
      {"/away", AnswerFault::OFF_SITE},
      {"/loop/0", AnswerFault::TOO_MANY_REDIRECTS},
      {"/html", AnswerFault::WEB_PAGE}};
  for (const auto& [path, fault] : refused) {
    Time(path, result, path[1] == 'h' ? TransferKind::FILE : TransferKind::PAGE);
    EXPECT_EQ(result.fault, fault) << path;
  }
  Time("/cut", result);
  EXPECT_EQ(result.status, TransferStatus::CUT);
  ExpectUntouched();
  WriteWholeFile(partial_, kFile.substr(0, 100000));
  EXPECT_EQ(Resume("/file", "\"v1\"").resumedFrom, 100000u);
  EXPECT_EQ(Read(partial_), kFile);
  TransferSetProxy("-");
}

TEST_F(TransferTest, LimitsEndStalledTransfersAndTheWorkerNeverWritesLater) {
  TransferResult result;
  for (const char* path : {"/silent", "/stall", "/trickle"}) {
    DWORD ms = Time(path, result);
    EXPECT_EQ(result.status, TransferStatus::TIMED_OUT) << path;
    EXPECT_GE(ms, 900u) << path;
    EXPECT_LT(ms, 4000u) << path;  // idle 1 s; the trickle by the total of 2.5 s
    EXPECT_EQ(Read(target_), "the previous file") << path;
  }
  Sleep(3000);  // abandoned workers end meanwhile, and remove what they wrote
  ExpectUntouched();
}

TEST_F(TransferTest, AGivenUpTransferStopsAtOnceAndAsksForNothingMore) {
  server_.loopDelayMs = 150;
  for (const char* path : {"/loop/0", "/silent"}) {
    Transfer* transfer = TransferBegin(server_.Url(path), target_, {5000, 5000, 0});
    Sleep(500);
    EXPECT_EQ(TransferResultOf(transfer).status, TransferStatus::TIMED_OUT);  // given up
    EXPECT_EQ(WaitForSingleObject(TransferSignal(transfer), 200), WAIT_OBJECT_0) << path;
    TransferRelease(transfer);
  }
  const int asked = server_.Requests("/loop/");
  EXPECT_GE(asked, 2);
  Sleep(1000);
  EXPECT_EQ(server_.Requests("/loop/"), asked);
  ExpectUntouched();
}

TEST_F(TransferTest, AResumeAppendsOrStartsAfreshAndKeepsThePartialFile) {
  // 206: the rest after the bytes kept, asked with the validator.
  WriteWholeFile(partial_, kFile.substr(0, 100000));
  TransferResult result = Resume("/file", "\"v1\"");
  ASSERT_TRUE(result.Ok());
  EXPECT_EQ(result.resumedFrom, 100000u);
  EXPECT_EQ(result.validator, "\"v1\"");
  EXPECT_EQ(Read(partial_), kFile);
  Seen seen;
  server_.Requests("/file", &seen);
  EXPECT_EQ(seen.range, "bytes=100000-");
  EXPECT_EQ(seen.ifRange, "\"v1\"");
  // 200: another validator, no validator, or a server without ranges: from the start.
  for (auto [path, validator] : {std::pair<const char*, const char*>{"/file", "\"old\""},
                                 {"/file", ""},
                                 {"/file-norange", "\"v1\""}}) {
    WriteWholeFile(partial_, std::string(50000, 'j'));
    result = Resume(path, validator);
    ASSERT_TRUE(result.Ok()) << path << validator;
    EXPECT_EQ(result.resumedFrom, 0u);
    EXPECT_EQ(Read(partial_), kFile) << path << validator;
  }
  // A cut keeps every byte that arrived; the next try continues after them.
  WriteWholeFile(partial_, kFile.substr(0, 100000));
  EXPECT_EQ(Resume("/file-cut", "\"v1\"").status, TransferStatus::CUT);
  std::string kept = Read(partial_);
  EXPECT_EQ(kept, kFile.substr(0, kept.size()));
  EXPECT_EQ(kept.size(), 200000u);
  EXPECT_TRUE(Resume("/file", "\"v1\"").Ok());
  EXPECT_EQ(Read(partial_), kFile);
  // A 206 that does not continue where asked changes nothing.
  WriteWholeFile(partial_, kFile.substr(0, 100000));
  result = Resume("/file-wrong", "\"v1\"");
  EXPECT_EQ(result.fault, AnswerFault::WRONG_RANGE);
  EXPECT_EQ(Read(partial_), kFile.substr(0, 100000));
  // Given up, or still running at the program's end: the bytes that came stay.
  for (bool atEnd : {false, true}) {
    WriteWholeFile(partial_, "");
    TransferResume resume{partial_, ""};
    Transfer* transfer =
        TransferBegin(server_.Url("/stall"), target_, {5000, 5000, 0}, TransferKind::FILE, &resume);
    Sleep(500);
    if (atEnd) TransfersEnd();
    TransferRelease(transfer);
    if (!atEnd) Sleep(300);
    EXPECT_EQ(Read(partial_), std::string(500, 's')) << atEnd;
  }
  ExpectUntouched();
}

TEST_F(TransferTest, PrivateFilesOfKilledRunsGo) {
  target_ = folder_ + "swept.txt";  // a target no earlier case has used (each is swept once)
  const std::string leftover = target_ + ".1d9e3a4b5c6d7e8f-3.part";
  const std::string recent = target_ + ".1d9e3a4b5c6d7e90-4.part";
  WriteWholeFile(leftover, "old");
  WriteWholeFile(recent, "new");
  HANDLE file = CreateFileW(WideFromPath(leftover).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  FILETIME now, old;
  GetSystemTimeAsFileTime(&now);
  ULONGLONG twoHours = 2ULL * 3600 * 10000000;
  ULONGLONG then =
      ((static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime) - twoHours;
  old.dwHighDateTime = static_cast<DWORD>(then >> 32);
  old.dwLowDateTime = static_cast<DWORD>(then);
  SetFileTime(file, nullptr, nullptr, &old);
  CloseHandle(file);
  TransferResult result;
  Time("/ok/5", result);
  EXPECT_TRUE(result.Ok());
  EXPECT_FALSE(FileExists(leftover));
  EXPECT_TRUE(FileExists(recent));  // perhaps another copy's, still at work
}

}  // namespace
