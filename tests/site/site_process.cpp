#include "site_process.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "temp_dir.h"

namespace sitetest {

const char kTestUsers[] =
    "demo@zq.test demo\n"
    "tester@zq.test pa&ss w0rd\n";

namespace {

long long NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

SiteProcess::SiteProcess(std::vector<std::string> args, std::string users) {
  dir_ = MakeScratchDir();
  { std::ofstream(dir_ + "users.txt", std::ios::binary) << users; }
  std::vector<std::string> argv_s = {
      VS_SITE_EXE, "--port",           "0",       "--log",          dir_ + "requests.log",
      "--users",   dir_ + "users.txt", "--media", VS_SITE_MEDIA_DIR};
  argv_s.insert(argv_s.end(), args.begin(), args.end());

  int in_pipe[2], out_pipe[2];
  if (pipe2(in_pipe, O_CLOEXEC) != 0 || pipe2(out_pipe, O_CLOEXEC) != 0) {
    ADD_FAILURE() << "pipe failed";
    return;
  }
  pid_ = fork();
  if (pid_ == 0) {
    dup2(in_pipe[0], 0);
    dup2(out_pipe[1], 1);
    int err = open((dir_ + "stderr.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (err >= 0) dup2(err, 2);
    std::vector<char*> argv;
    for (std::string& a : argv_s) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(in_pipe[0]);
  close(out_pipe[1]);
  stdin_fd_ = in_pipe[1];

  // The first line on stdout is "port N".
  std::string line;
  long long deadline = NowMs() + 10000;
  while (line.find('\n') == std::string::npos && NowMs() < deadline) {
    pollfd p{out_pipe[0], POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    char buf[64];
    ssize_t n = read(out_pipe[0], buf, sizeof buf);
    if (n <= 0) break;
    line.append(buf, static_cast<size_t>(n));
  }
  close(out_pipe[0]);
  if (std::sscanf(line.c_str(), "port %d", &port_) != 1 || port_ <= 0) {
    port_ = 0;
    ADD_FAILURE() << "vs_site did not start: '" << line << "'";
  }
}

SiteProcess::~SiteProcess() {
  if (pid_ > 0 && !exited_) {
    // Stopping must be clean: exit code 0 (under the sanitizers, also no leak report).
    Signal(SIGTERM);
    int status = WaitExit(5000);
    if (status == -1) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
      ADD_FAILURE() << "vs_site did not stop within 5 s of SIGTERM";
    } else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      std::ifstream err(dir_ + "stderr.txt");
      std::stringstream text;
      text << err.rdbuf();
      ADD_FAILURE() << "vs_site ended badly (status " << status << "):\n"
                    << text.str().substr(0, 4000);
    }
  }
  if (stdin_fd_ >= 0) close(stdin_fd_);
  RemoveScratchDir(dir_);
}

std::vector<std::string> SiteProcess::LogLines() const {
  std::ifstream in(dir_ + "requests.log", std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> SiteProcess::WaitForLog(const std::string& text, size_t count,
                                                 int timeout_ms) const {
  long long deadline = NowMs() + timeout_ms;
  for (;;) {
    std::vector<std::string> found;
    for (const std::string& line : LogLines()) {
      if (line.find(text) != std::string::npos) found.push_back(line);
    }
    if (found.size() >= count || NowMs() >= deadline) return found;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

void SiteProcess::CloseStdin() {
  if (stdin_fd_ >= 0) close(stdin_fd_);
  stdin_fd_ = -1;
}

void SiteProcess::Signal(int sig) {
  if (pid_ > 0 && !exited_) kill(pid_, sig);
}

int SiteProcess::WaitExit(int timeout_ms) {
  long long deadline = NowMs() + timeout_ms;
  for (;;) {
    int status = 0;
    pid_t r = waitpid(pid_, &status, WNOHANG);
    if (r == pid_) {
      exited_ = true;
      return status;
    }
    if (NowMs() >= deadline) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

std::string Response::Header(const std::string& lower_name) const {
  auto it = headers.find(lower_name);
  return it == headers.end() ? "" : it->second;
}

namespace {

// True when `raw` holds a complete response whose length its Content-Length tells.
bool Complete(const std::string& raw) {
  size_t end = raw.find("\r\n\r\n");
  if (end == std::string::npos) return false;
  std::string head = Lower(raw.substr(0, end));
  size_t p = head.find("\r\ncontent-length:");
  if (p == std::string::npos) return false;
  size_t length = std::strtoul(head.c_str() + p + 17, nullptr, 10);
  return raw.size() - end - 4 >= length;
}

}  // namespace

std::string RoundTrip(int port, const std::string& bytes, int timeout_ms, bool one_response) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  std::string out;
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    close(fd);
    return out;
  }
  size_t sent = 0;
  while (sent < bytes.size()) {
    ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) break;  // the server may refuse and close before reading everything
    sent += static_cast<size_t>(n);
  }
  long long deadline = NowMs() + timeout_ms;
  for (;;) {
    int left = static_cast<int>(deadline - NowMs());
    if (left <= 0) break;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, left) <= 0) break;
    char buf[65536];
    ssize_t n = recv(fd, buf, sizeof buf, 0);
    if (n <= 0) break;
    out.append(buf, static_cast<size_t>(n));
    if (one_response && Complete(out)) break;
  }
  close(fd);
  return out;
}

Response Parse(const std::string& raw) {
  Response r;
  size_t end = raw.find("\r\n\r\n");
  if (raw.compare(0, 9, "HTTP/1.1 ") != 0 || end == std::string::npos) return r;
  r.ok = true;
  r.status = std::atoi(raw.c_str() + 9);
  std::istringstream head(raw.substr(0, end));
  std::string line;
  std::getline(head, line);
  while (std::getline(head, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    std::string value = line.substr(colon + 1);
    while (!value.empty() && value.front() == ' ') value.erase(0, 1);
    r.headers.emplace(Lower(line.substr(0, colon)), value);
  }
  r.body = raw.substr(end + 4);
  return r;
}

Response Fetch(int port, const std::string& host, const std::string& target,
               const std::string& extra, const std::string& method) {
  return Parse(RoundTrip(port, method + " " + target + " HTTP/1.1\r\nHost: " + host + "\r\n" +
                                   extra + "Connection: close\r\n\r\n"));
}

std::string Login(int port, const std::string& email, const std::string& pass) {
  Response r = Fetch(port, "login.zq.test",
                     "/?act=login&email=" + email + "&pass=" + pass + "&expire=&zq%20=");
  std::string cookie = r.Header("set-cookie");
  size_t p = cookie.find("zqsid=");
  if (p == std::string::npos) return "";
  return cookie.substr(p + 6, cookie.find(';', p) - p - 6);
}

}  // namespace sitetest
