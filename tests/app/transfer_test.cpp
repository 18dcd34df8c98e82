// The download service against a loopback server that misbehaves on purpose: the limits
// end stalled transfers, a failure never touches the target, nothing is left behind, and
// connections are reused. The target lies in a folder named in two scripts, which no
// single code page holds; the names the server gives keep their characters.
#include <winsock2.h>
// after winsock2.h
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <utility>
#include <vector>

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

// Answers by path: /ok/N (N bytes, keep-alive), /404, /silent (never answers), /stall
// (half the body, then nothing), /cut (closes half-way), /trickle (a byte every 300 ms).
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
  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }
  std::atomic<int> connections{0};

 private:
  void Send(SOCKET client, const std::string& bytes) {
    send(client, bytes.data(), static_cast<int>(bytes.size()), 0);
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
      std::string path = head.substr(4, head.find(' ', 4) - 4);
      head.erase(0, end + 4);
      if (path.rfind("/ok/", 0) == 0) {
        std::string body(static_cast<size_t>(std::stoi(path.substr(4))), 'x');
        Send(client, "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
                         "\r\n\r\n" + body);
        continue;  // keep-alive: the next request on the same connection
      }
      if (path.rfind("/named/", 0) == 0) {  // /named/N: kDispositions[N]
        Send(client, "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nContent-Disposition: " +
                         std::string(kDispositions[path[7] - '0']) + "\r\n\r\nvideo");
        continue;
      }
      if (path == "/404") Send(client, "HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n\r\ngone");
      if (path == "/stall" || path == "/cut")
        Send(client, "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n" + std::string(500, 's'));
      if (path == "/trickle") {
        Send(client, "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n");
        for (int i = 0; i < 100 && !stop_; ++i, Sleep(300)) Send(client, "t");
      }
      if (path == "/silent" || path == "/stall")
        while (!stop_ && recv(client, buffer, sizeof buffer, 0) > 0) {
        }
      break;
    }
    closesocket(client);
  }

  SOCKET listener_ = INVALID_SOCKET;
  int port_ = 0;
  std::atomic<bool> stop_{false};
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
    WriteWholeFile(target_, "the previous file");
  }
  void TearDown() override { RemoveScratchDir(folder_); }
  // Transfers `path` with short limits; the time it took in ms.
  DWORD Time(const std::string& path, TransferResult& result) {
    DWORD start = GetTickCount();
    result = TransferFile(server_.Url(path), target_, {1000, 1000, 2500});
    return GetTickCount() - start;
  }
  // The target as it was, and nothing of the transfer beside it.
  void ExpectUntouched() {
    EXPECT_EQ(Read(target_), "the previous file");
    EXPECT_EQ(FilesStartingWith(folder_, "transfer-test.txt"), 1);
  }
  MisbehavingServer server_;
  std::string folder_, target_;
};

TEST_F(TransferTest, ReplacesTheTargetWholeAndReusesTheConnection) {
  TransferResult result;
  for (int size : {70000, 3, 1}) {
    Time("/ok/" + std::to_string(size), result);
    ASSERT_TRUE(result.Ok());
    EXPECT_EQ(Read(target_), std::string(static_cast<size_t>(size), 'x'));
  }
  EXPECT_EQ(server_.connections, 1);
  EXPECT_EQ(FilesStartingWith(folder_, "transfer-test.txt"), 1);
}

TEST_F(TransferTest, TheServersNameIsSavedWithItsCharactersBesideATakenOne) {
  const std::string film = "\xD0\xA4\xD0\xB8\xD0\xBB\xD1\x8C\xD0\xBC.mp4";
  const std::pair<int, std::string> cases[] = {
      {0, film}, {0, film}, {2, "\xE7\x94\xB5\xE5\xBD\xB1.mp4"}, {1, film}};
  for (const auto& [kind, name] : cases) {
    // Wine's internet functions decode header bytes in the system's code page and encode
    // them back for the ANSI query: under 932 (Japanese) the raw bytes of a Windows-1251
    // name do not survive that trip (UTF-8 and filename* do). Windows hands them over as
    // they came.
    if (GetACP() == 932 && kind == 1) continue;
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

TEST_F(TransferTest, FailuresLeaveThePreviousFileAsItWas) {
  TransferResult result;
  Time("/404", result);
  EXPECT_EQ(result.status, TransferStatus::HTTP_ERROR);
  EXPECT_EQ(result.httpStatus, 404);
  ExpectUntouched();
  Time("/cut", result);
  EXPECT_EQ(result.status, TransferStatus::CUT);
  ExpectUntouched();
  EXPECT_EQ(TransferFile("http://127.0.0.1:1/", target_).status, TransferStatus::REFUSED);
  ExpectUntouched();
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

}  // namespace
