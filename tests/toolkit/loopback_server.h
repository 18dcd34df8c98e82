// A small HTTP server for the web view tests: one thread, Winsock, listening on 127.0.0.1
// on a free port. It logs every request's line and Cookie header. "/login..." answers
// with a session cookie; everything else with a small page. It stops when destroyed, and
// by itself after `lifetimeMs` in any case.
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>
// after winsock2.h
#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct LoggedRequest {
  std::string line;    // "GET /path HTTP/1.1"
  std::string path;    // "/path"
  std::string cookie;  // the Cookie header's value, empty when none
};

class LoopbackServer {
 public:
  explicit LoopbackServer(DWORD lifetimeMs = 120000) : lifetime_(lifetimeMs) {
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return;
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (listener_ == INVALID_SOCKET) return;
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    int size = sizeof address;
    if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener_, 16) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0)
      return;
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Run(); });
  }
  ~LoopbackServer() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (listener_ != INVALID_SOCKET) closesocket(listener_);
    WSACleanup();
  }
  int Port() const { return port_; }
  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }
  std::vector<LoggedRequest> Log() {
    std::lock_guard<std::mutex> lock(mutex_);
    return log_;
  }
  // The first logged request for `path`, or null (copied into `found`).
  bool Find(const std::string& path, LoggedRequest* found = nullptr) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const LoggedRequest& request : log_) {
      if (request.path != path) continue;
      if (found) *found = request;
      return true;
    }
    return false;
  }
  size_t Count() {
    std::lock_guard<std::mutex> lock(mutex_);
    return log_.size();
  }

 private:
  void Run() {
    DWORD start = GetTickCount();
    while (!stop_ && GetTickCount() - start < lifetime_) {
      fd_set readable;
      FD_ZERO(&readable);
      FD_SET(listener_, &readable);
      timeval wait = {0, 50000};
      if (select(0, &readable, nullptr, nullptr, &wait) <= 0) continue;
      SOCKET client = accept(listener_, nullptr, nullptr);
      if (client == INVALID_SOCKET) continue;
      Serve(client);
      closesocket(client);
    }
  }

  static std::string HeaderValue(const std::string& head, const std::string& name) {
    size_t at = 0;
    while ((at = head.find("\r\n", at)) != std::string::npos) {
      at += 2;
      if (_strnicmp(head.c_str() + at, name.c_str(), name.size()) != 0) continue;
      size_t value = at + name.size();
      while (value < head.size() && head[value] == ' ') ++value;
      return head.substr(value, head.find("\r\n", value) - value);
    }
    return std::string();
  }

  void Serve(SOCKET client) {
    std::string head;
    char buffer[2048];
    DWORD start = GetTickCount();
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536 &&
           GetTickCount() - start < 3000) {
      fd_set readable;
      FD_ZERO(&readable);
      FD_SET(client, &readable);
      timeval wait = {0, 50000};
      if (select(0, &readable, nullptr, nullptr, &wait) <= 0) continue;
      int got = recv(client, buffer, sizeof buffer, 0);
      if (got <= 0) break;
      head.append(buffer, static_cast<size_t>(got));
    }
    if (head.find("\r\n\r\n") == std::string::npos) return;
    LoggedRequest request;
    request.line = head.substr(0, head.find("\r\n"));
    size_t space = request.line.find(' ');
    if (space != std::string::npos)
      request.path = request.line.substr(space + 1, request.line.find(' ', space + 1) - space - 1);
    request.cookie = HeaderValue(head, "Cookie:");
    {
      std::lock_guard<std::mutex> lock(mutex_);
      log_.push_back(request);
    }
    std::string body = "<html><head><title>page " + request.path + "</title></head><body>" +
                       request.path + "</body></html>";
    std::string answer = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\n";
    if (request.path.compare(0, 6, "/login") == 0)
      answer += "Set-Cookie: vs_session=s3cr3t42; Path=/\r\n";
    answer += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    send(client, answer.data(), static_cast<int>(answer.size()), 0);
    shutdown(client, SD_SEND);
  }

  DWORD lifetime_;
  SOCKET listener_ = INVALID_SOCKET;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  std::mutex mutex_;
  std::vector<LoggedRequest> log_;
};
