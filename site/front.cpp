#include "front.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace site {
namespace {

thread_local Exchange* tl_exchange = nullptr;

constexpr int kSliceMs = 100;  // waits are cut into slices to notice a stop request

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

void AddressOf(int fd, bool peer, std::string& ip, int& port) {
  sockaddr_storage addr{};
  socklen_t len = sizeof addr;
  int rc = peer ? getpeername(fd, reinterpret_cast<sockaddr*>(&addr), &len)
                : getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  ip.clear();
  port = -1;
  if (rc != 0) return;
  char buf[INET6_ADDRSTRLEN] = {};
  if (addr.ss_family == AF_INET) {
    auto* a = reinterpret_cast<sockaddr_in*>(&addr);
    inet_ntop(AF_INET, &a->sin_addr, buf, sizeof buf);
    port = ntohs(a->sin_port);
  } else if (addr.ss_family == AF_INET6) {
    auto* a = reinterpret_cast<sockaddr_in6*>(&addr);
    inet_ntop(AF_INET6, &a->sin6_addr, buf, sizeof buf);
    port = ntohs(a->sin6_port);
  }
  ip = buf;
}

// A connection with an input buffer: the front layer reads request heads into it and
// replaces them by their rewritten form, the library then reads from it.
class Connection : public httplib::Stream {
 public:
  enum class HeadStatus { kOk, kClosed, kTimeout, kTooLarge, kLineTooLong };

  Connection(int fd, const std::atomic<bool>& stopping, const FrontOptions& options)
      : fd_(fd), stopping_(stopping), options_(options) {}

  void Attach(Exchange* ex) { ex_ = ex; }

  // Waits up to `wait_ms` for a complete request head and takes it out of the buffer.
  HeadStatus ReadHead(int wait_ms, std::string* head) {
    auto deadline = Clock::now() + std::chrono::milliseconds(wait_ms);
    bool started = false;
    for (;;) {
      while (pos_ < in_.size() && (in_[pos_] == '\r' || in_[pos_] == '\n')) ++pos_;
      if (pos_ == in_.size()) {
        in_.clear();
        pos_ = 0;
      }
      if (pos_ < in_.size()) {
        if (!started) {
          // The rest of the head must follow within the head time-out.
          deadline = Clock::now() + std::chrono::milliseconds(options_.head_timeout_ms);
          started = true;
        }
        std::string_view data(in_.data() + pos_, in_.size() - pos_);
        size_t end = HeadEnd(data);
        if (end != std::string_view::npos) {
          *head = std::string(data.substr(0, end));
          pos_ += end;
          return HeadStatus::kOk;
        }
        size_t first_nl = data.find('\n');
        if (first_nl == std::string_view::npos &&
            data.size() > options_.limits.max_request_line + 2) {
          *head = std::string(data.substr(0, 256));
          return HeadStatus::kLineTooLong;
        }
        if (data.size() > options_.limits.max_head) {
          *head = std::string(data.substr(0, first_nl == std::string_view::npos ? 256 : first_nl));
          return HeadStatus::kTooLarge;
        }
      }
      int got = Fill(RemainingMs(deadline));
      if (got == 0) return HeadStatus::kClosed;
      if (got < 0) {
        if (pos_ < in_.size())
          *head = std::string(in_, pos_, std::min<size_t>(256, in_.size() - pos_));
        return pos_ < in_.size() ? HeadStatus::kTimeout : HeadStatus::kClosed;
      }
    }
  }

  // Puts the rewritten head in front of whatever followed the original one.
  void ReplaceHead(const std::string& normalized) {
    in_ = normalized + in_.substr(pos_);
    pos_ = 0;
  }

  bool is_readable() const override {
    if (pos_ < in_.size()) return true;
    pollfd p{fd_, POLLIN, 0};
    return poll(&p, 1, options_.io_timeout_ms) > 0;
  }

  bool is_writable() const override {
    if (stopping_) return false;
    pollfd p{fd_, POLLOUT, 0};
    int rc = poll(&p, 1, 0);
    return rc > 0 && (p.revents & POLLOUT) && !(p.revents & (POLLERR | POLLHUP));
  }

  ssize_t read(char* ptr, size_t size) override {
    if (pos_ >= in_.size()) {
      in_.clear();
      pos_ = 0;
      if (Fill(options_.io_timeout_ms) <= 0) return -1;
    }
    size_t n = std::min(size, in_.size() - pos_);
    std::memcpy(ptr, in_.data() + pos_, n);
    pos_ += n;
    return static_cast<ssize_t>(n);
  }

  // Writes everything or fails, so that the library's first write of a response (its
  // status line and headers) is counted as one piece.
  ssize_t write(const char* ptr, size_t size) override {
    // An answer written raw is the whole answer: the library's own is dropped.
    if (ex_ && ex_->raw() && !ex_->sending_raw) return static_cast<ssize_t>(size);
    size_t done = 0;
    auto deadline = Clock::now() + std::chrono::milliseconds(options_.io_timeout_ms);
    while (done < size) {
      if (stopping_) return -1;
      pollfd p{fd_, POLLOUT, 0};
      int rc = poll(&p, 1, std::min(kSliceMs, RemainingMs(deadline)));
      if (rc < 0 && errno == EINTR) continue;
      if (rc < 0 || (rc > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL)))) return -1;
      if (rc == 0) {
        if (RemainingMs(deadline) == 0) return -1;
        continue;
      }
      ssize_t n = ::send(fd_, ptr + done, size - done, MSG_NOSIGNAL);
      if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
      if (n <= 0) return -1;
      done += static_cast<size_t>(n);
    }
    if (ex_) {
      if (!ex_->head_written) {
        ex_->head_written = true;
        ex_->head_bytes = size;
      }
      ex_->bytes_written += size;
    }
    return static_cast<ssize_t>(size);
  }

  void get_remote_ip_and_port(std::string& ip, int& port) const override {
    AddressOf(fd_, true, ip, port);
  }
  void get_local_ip_and_port(std::string& ip, int& port) const override {
    AddressOf(fd_, false, ip, port);
  }
  socket_t socket() const override { return fd_; }

 private:
  // End of the head (just past its empty line) in data, or npos.
  static size_t HeadEnd(std::string_view data) {
    size_t a = data.find("\n\r\n");
    size_t b = data.find("\n\n");
    if (a == std::string_view::npos && b == std::string_view::npos) return std::string_view::npos;
    if (b == std::string_view::npos || (a != std::string_view::npos && a < b)) return a + 3;
    return b + 2;
  }

  // Reads what is there into the buffer: > 0 bytes read, 0 at end of input, -1 on
  // time-out, error or stop.
  int Fill(int wait_ms) {
    auto deadline = Clock::now() + std::chrono::milliseconds(wait_ms);
    for (;;) {
      if (stopping_) return -1;
      pollfd p{fd_, POLLIN, 0};
      int rc = poll(&p, 1, std::min(kSliceMs, RemainingMs(deadline)));
      if (rc < 0 && errno == EINTR) continue;
      if (rc < 0) return -1;
      if (rc == 0) {
        if (RemainingMs(deadline) == 0) return -1;
        continue;
      }
      char buf[16384];
      ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
      if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
      if (n < 0) return -1;
      if (n == 0) return 0;
      in_.append(buf, static_cast<size_t>(n));
      return static_cast<int>(n);
    }
  }

  int fd_;
  const std::atomic<bool>& stopping_;
  const FrontOptions& options_;
  Exchange* ex_ = nullptr;
  std::string in_;
  size_t pos_ = 0;
};

const char* Phrase(int status) {
  switch (status) {
    case 400:
      return "Bad Request";
    case 405:
      return "Method Not Allowed";
    case 408:
      return "Request Timeout";
    case 414:
      return "URI Too Long";
    case 431:
      return "Request Header Fields Too Large";
    case 501:
      return "Not Implemented";
    case 505:
      return "HTTP Version Not Supported";
    default:
      return "Error";
  }
}

void Reject(Connection& conn, Exchange& ex, int status, const std::string& reason,
            const FrontServer::RejectHandler& on_reject) {
  std::string body = std::to_string(status) + " " + Phrase(status) + ": " + reason + "\n";
  std::string head = "HTTP/1.1 " + std::to_string(status) + " " + Phrase(status) + "\r\n";
  head += "Content-Type: text/plain; charset=us-ascii\r\n";
  head += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  if (status == 405) head += "Allow: GET, HEAD\r\n";
  head += "Connection: close\r\n\r\n";
  if (ex.head.method == "HEAD") body.clear();
  conn.write(head.data(), head.size());
  if (!body.empty()) conn.write(body.data(), body.size());
  if (on_reject) on_reject(ex, status, ex.body_bytes());
}

// What can be told of a request that was refused before it was parsed.
void GuessRequestLine(const std::string& head, Exchange& ex) {
  if (!ex.head.raw_line.empty()) return;
  std::string line = head.substr(0, head.find_first_of("\r\n"));
  ex.head.raw_line = line;
  size_t sp = line.find(' ');
  ex.head.method = sp == std::string::npos ? line.substr(0, 16) : line.substr(0, sp);
  ex.head.raw_target = sp == std::string::npos ? "" : line.substr(sp + 1);
}

// Closes a connection whose client may still be sending (a refused request): closing
// with unread input would reset the connection and could destroy the error answer in
// flight, so the sending side is shut first and the rest of the input read and dropped
// for a moment.
void LingeringClose(int fd) {
  ::shutdown(fd, SHUT_WR);
  auto deadline = Clock::now() + std::chrono::milliseconds(1000);
  size_t dropped = 0;
  char buf[16384];
  while (dropped < (4u << 20)) {
    pollfd p{fd, POLLIN, 0};
    int wait = RemainingMs(deadline);
    if (wait == 0 || poll(&p, 1, std::min(wait, kSliceMs)) < 0) break;
    if (!(p.revents & (POLLIN | POLLHUP | POLLERR))) continue;
    ssize_t n = ::recv(fd, buf, sizeof buf, MSG_DONTWAIT);
    if (n <= 0) break;
    dropped += static_cast<size_t>(n);
  }
  ::close(fd);
}

}  // namespace

bool Exchange::PeerClosed() const {
  if (fd < 0) return true;
  char c;
  ssize_t n = ::recv(fd, &c, 1, MSG_PEEK | MSG_DONTWAIT);
  if (n == 0) return true;
  return n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR;
}

bool Exchange::SendRaw(std::string_view bytes) {
  raw_ = true;
  if (!stream) return false;
  sending_raw = true;
  ssize_t n = stream->write(bytes.data(), bytes.size());
  sending_raw = false;
  return n == static_cast<ssize_t>(bytes.size());
}

Exchange* CurrentExchange() { return tl_exchange; }

std::string RawHead(int status, const char* reason, const std::string& header_lines) {
  return "HTTP/1.1 " + std::to_string(status) + " " + reason + "\r\n" + header_lines +
         "Connection: close\r\n\r\n";
}

void SendBareStatus(int status, const char* reason, httplib::Response& res) {
  res.status = status;
  if (Exchange* ex = CurrentExchange()) ex->SendRaw(RawHead(status, reason, ""));
}

FrontServer::FrontServer(const std::atomic<bool>& stopping, FrontOptions options)
    : stopping_(stopping), options_(options) {
  size_t threads = options_.threads;
  new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
  // The library only writes these into its Keep-Alive header; the loop below enforces them.
  set_keep_alive_max_count(options_.keep_alive_max);
  set_keep_alive_timeout(std::max(1, options_.keep_alive_timeout_ms / 1000));
}

bool FrontServer::process_and_close_socket(socket_t sock) {
  int one = 1;
  setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  Connection conn(sock, stopping_, options_);
  uint64_t connection = ++connections_;
  Exchange ex;
  tl_exchange = &ex;
  conn.Attach(&ex);
  bool rejected = false;
  for (size_t n = 0; n < options_.keep_alive_max && !stopping_; ++n) {
    ex = Exchange{};
    ex.fd = sock;
    ex.stream = &conn;
    ex.connection = connection;
    ex.request = n + 1;
    std::string head;
    int wait = n == 0 ? options_.head_timeout_ms : options_.keep_alive_timeout_ms;
    auto status = conn.ReadHead(wait, &head);
    if (status == Connection::HeadStatus::kClosed) break;
    if (status != Connection::HeadStatus::kOk) {
      GuessRequestLine(head, ex);
      int code = status == Connection::HeadStatus::kTimeout       ? 408
                 : status == Connection::HeadStatus::kLineTooLong ? 414
                                                                  : 431;
      const char* why = code == 408   ? "request head not complete in time"
                        : code == 414 ? "request line too long"
                                      : "request head too large";
      Reject(conn, ex, code, why, on_reject_);
      rejected = true;
      break;
    }
    ex.head = NormalizeHead(head, options_.limits);
    if (ex.head.status != 0) {
      Reject(conn, ex, ex.head.status, ex.head.reason, on_reject_);
      rejected = true;
      break;
    }
    conn.ReplaceHead(ex.head.normalized);
    bool last = n + 1 == options_.keep_alive_max;
    bool closed = false;
    bool ok = process_request(conn, last, closed, nullptr);
    if (!ok || closed || last || ex.raw()) break;
  }
  tl_exchange = nullptr;
  if (rejected) {
    LingeringClose(sock);
  } else {
    ::shutdown(sock, SHUT_RDWR);
    ::close(sock);
  }
  return true;
}

}  // namespace site
