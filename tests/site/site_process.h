// Runs the site server as a child process for a test, and talks to it over raw sockets.
#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

namespace sitetest {

// The accounts every test server knows (users file text).
extern const char kTestUsers[];

class SiteProcess {
 public:
  // Starts vs_site on a free loopback port with a request log, a users file and the
  // generated media in a fresh temporary directory, plus `args`; fails the test (and
  // leaves port() at 0) when it does not start.
  explicit SiteProcess(std::vector<std::string> args = {}, std::string users = kTestUsers);
  ~SiteProcess();
  SiteProcess(const SiteProcess&) = delete;
  SiteProcess& operator=(const SiteProcess&) = delete;

  int port() const { return port_; }
  pid_t pid() const { return pid_; }
  std::vector<std::string> LogLines() const;
  // The log lines holding `text`, waiting up to timeout_ms until there are `count` of
  // them (the server writes a line just after the answer has gone out).
  std::vector<std::string> WaitForLog(const std::string& text, size_t count = 1,
                                      int timeout_ms = 2000) const;

  // Closes the server's stdin (a pipe).
  void CloseStdin();
  // Sends a signal to the server.
  void Signal(int sig);
  // Waits up to timeout_ms for the server to end: its exit status (as waitpid reports
  // it), or -1 when it is still running.
  int WaitExit(int timeout_ms);

 private:
  std::string dir_;
  pid_t pid_ = -1;
  int stdin_fd_ = -1;
  int port_ = 0;
  bool exited_ = false;
};

struct Response {
  bool ok = false;  // a status line was received
  int status = 0;
  std::multimap<std::string, std::string> headers;  // names in lower case
  std::string body;
  std::string Header(const std::string& lower_name) const;
};

// Sends raw bytes on a new connection and reads until the server closes it, `timeout_ms`
// passes, or (with `one_response`) a whole response with a Content-Length has arrived.
std::string RoundTrip(int port, const std::string& bytes, int timeout_ms = 5000,
                      bool one_response = true);
Response Parse(const std::string& raw);
// GET (or another method) of `target` with a Host header, on a new connection that asks
// to be closed after the answer; `extra` holds more header lines, each ending in CR LF.
Response Fetch(int port, const std::string& host, const std::string& target,
               const std::string& extra = "", const std::string& method = "GET");

// Logs in and returns the session token (empty when the login fails).
std::string Login(int port, const std::string& email, const std::string& pass);

}  // namespace sitetest
