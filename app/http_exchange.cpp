#include "http_exchange.h"

#include <wininet.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "http_body.h"
#include "wide.h"

std::wstring StoredCookies(const std::wstring& url) {
  std::wstring cookies(4096, L'\0');
  for (int tries = 0; tries < 2; ++tries) {
    DWORD size = static_cast<DWORD>(cookies.size());
    if (InternetGetCookieExW(url.c_str(), nullptr, &cookies[0], &size, INTERNET_COOKIE_HTTPONLY,
                             nullptr)) {
      cookies.resize(wcsnlen(cookies.c_str(), cookies.size()));
      return cookies;
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) break;
    cookies.assign(size + 1, L'\0');  // the size asked for, whether in characters or bytes
  }
  return std::wstring();
}

namespace {

constexpr size_t DRAIN_LIMIT =
    64 * 1024;  // the most a redirect's body is read to keep its connection

// The wait left of `ms` before the request's deadline.
DWORD Bounded(const ExchangeRequest& request, DWORD ms) {
  if (!request.deadline) return ms;
  ULONGLONG now = GetTickCount64();
  return now >= request.deadline
             ? 0
             : static_cast<DWORD>(std::min<ULONGLONG>(ms, request.deadline - now));
}

// The cookies the shared store holds for the address (the embedded browser's session among
// them), as a Cookie header's value.
std::string CookiesFor(const std::string& address) {
  std::string cookies = PathFromWide(StoredCookies(WideFromText(address)));
  cookies.erase(
      std::remove_if(cookies.begin(), cookies.end(), [](char c) { return c == '\r' || c == '\n'; }),
      cookies.end());
  return cookies;
}

void StoreCookies(const std::string& address, const AnswerHead& head) {
  if (head.setCookies.empty()) return;
  std::wstring url = WideFromText(address);
  for (const std::string& cookie : head.setCookies)
    InternetSetCookieExW(url.c_str(), nullptr, WideFromPath(cookie).c_str(),
                         INTERNET_COOKIE_HTTPONLY, 0);
}

bool SafeHeaderValue(const std::string& value) {
  for (char c : value)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
  return true;
}

// The request's optional header lines.
std::string ExtraHeaders(const ExchangeRequest& request) {
  std::string lines;
  if (request.askCompressed) lines += "Accept-Encoding: gzip, deflate\r\n";
  if (request.rangeFrom > 0) {
    lines += "Range: bytes=" + std::to_string(request.rangeFrom) + "-\r\n";
    if (!request.ifRange.empty() && SafeHeaderValue(request.ifRange))
      lines += "If-Range: " + request.ifRange + "\r\n";
  }
  return lines;
}

// Plain http over the service's own connections.
class WireExchange : public Exchange {
 public:
  WireExchange(const ExchangeRequest& request, const Route& route)
      : request_(request), route_(route) {}
  ~WireExchange() override {
    // Only a connection whose answer was read to its exact end may carry another request.
    if (connection_ && ended_ && whole_ && keepAlive_) Connection::Keep(connection_.release());
  }

  WireStatus Open(AnswerHead& head) override {
    const std::string bytes = RequestBytes();
    WireStatus status = WireStatus::BROKEN;
    for (int attempt = 0; attempt < 2; ++attempt) {
      WireWait connect = {request_.abandon, Bounded(request_, request_.connectMs)};
      connection_.reset(Connection::Get(route_, attempt == 0, connect, status));
      if (!connection_) return status;
      if (request_.onConnected) request_.onConnected();
      status = connection_->Send(bytes, Idle());
      if (status == WireStatus::OK) status = ReadHead(head);
      // A kept connection that the server closed meanwhile fails before any answer: the
      // request goes once more, on a new one.
      bool stale = connection_->Reused() && received_ == 0 &&
                   (status == WireStatus::CLOSED || status == WireStatus::BROKEN);
      if (!stale) break;
      connection_.reset();
    }
    if (status == WireStatus::OK) StoreCookies(request_.address, head);
    return status;
  }

  WireStatus Read(char* buffer, size_t size, size_t& got, bool wait) override {
    got = 0;
    while (!ended_) {
      size_t n = 0, want = size;
      if (!chunked_ && remaining_ >= 0 && static_cast<uint64_t>(remaining_) < want)
        want = static_cast<size_t>(remaining_);  // never a byte past the body
      if (!pending_.empty()) {                   // body bytes that came with the head
        n = std::min(want, pending_.size());
        std::memcpy(buffer, pending_.data(), n);
        pending_.erase(0, n);
      } else {
        WireWait idle = Idle();
        WireStatus status = connection_->Receive(buffer, want, n, wait ? &idle : nullptr);
        if (status == WireStatus::CLOSED && !chunked_ && remaining_ < 0) {
          ended_ = true;  // a body without a length ends with its connection
          break;
        }
        if (status != WireStatus::OK) return status;
      }
      if (chunked_) {
        size_t produced = 0, consumed = 0;
        ChunkedDecoder::State state = chunked_->Feed(buffer, n, &produced, &consumed);
        if (state == ChunkedDecoder::State::BAD) return WireStatus::MALFORMED;
        if (state == ChunkedDecoder::State::DONE) {
          ended_ = true;
          whole_ = consumed == n && pending_.empty();
        }
        if (produced == 0) continue;
        got = produced;
        return WireStatus::OK;
      }
      if (remaining_ >= 0) {
        remaining_ -= static_cast<int64_t>(n);
        if (remaining_ == 0) {
          ended_ = true;
          whole_ = pending_.empty();
        }
      }
      got = n;
      return WireStatus::OK;
    }
    return WireStatus::END;
  }

  void Drain() override {
    if (!chunked_ && (remaining_ < 0 || remaining_ > static_cast<int64_t>(DRAIN_LIMIT))) return;
    char buffer[4096];
    size_t total = 0, got = 0;
    while (total <= DRAIN_LIMIT && Read(buffer, sizeof buffer, got, true) == WireStatus::OK)
      total += got;
  }

 private:
  WireWait Idle() const { return {request_.abandon, Bounded(request_, request_.idleMs)}; }

  std::string RequestBytes() const {
    const HttpAddress& where = request_.where;
    std::string host = where.host;
    if (where.port != 80) host += ":" + std::to_string(where.port);
    // Through a proxy the request line names the whole address, with its port written out.
    std::string target =
        route_.proxied ? "http://" + where.host + ":" + std::to_string(where.port) + where.target
                       : where.target;
    std::string bytes = "GET " + target + " HTTP/1.1\r\nHost: " + host + "\r\n";
    if (!request_.agent.empty()) bytes += "User-Agent: " + request_.agent + "\r\n";
    bytes += "Accept: */*\r\n" + ExtraHeaders(request_);
    std::string cookies = CookiesFor(request_.address);
    if (!cookies.empty()) bytes += "Cookie: " + cookies + "\r\n";
    bytes += "Connection: keep-alive\r\n\r\n";
    return bytes;
  }

  // Reads up to the final head; the bytes after it stay in pending_ for the body.
  WireStatus ReadHead(AnswerHead& head) {
    std::string bytes;
    char buffer[16 * 1024];
    for (;;) {
      size_t end = AnswerHeadEnd(bytes);
      if (end != std::string::npos) {
        if (!ParseAnswerHead(std::string_view(bytes).substr(0, end), head))
          return WireStatus::MALFORMED;
        bytes.erase(0, end);
        if (head.status >= 100 && head.status < 200 && head.status != 101) continue;  // interim
        break;
      }
      if (bytes.size() > ANSWER_HEAD_LIMIT) return WireStatus::MALFORMED;
      size_t got = 0;
      WireWait idle = Idle();
      WireStatus status = connection_->Receive(buffer, sizeof buffer, got, &idle);
      if (status != WireStatus::OK) return status;
      received_ += got;
      bytes.append(buffer, got);
    }
    pending_ = std::move(bytes);
    keepAlive_ = head.keepAlive;
    // No body, whatever the fields say, after these; else the framing the head gives.
    if (head.status < 200 || head.status == 204 || head.status == 304) {
      remaining_ = 0;
    } else if (head.chunked) {
      chunked_.reset(new ChunkedDecoder);
    } else {
      remaining_ = head.contentLength;
      if (remaining_ < 0) keepAlive_ = false;
    }
    if (remaining_ == 0) {
      ended_ = true;
      whole_ = pending_.empty();
    }
    return WireStatus::OK;
  }

  ExchangeRequest request_;
  Route route_;
  std::unique_ptr<Connection> connection_;
  size_t received_ = 0;  // bytes of the answer so far
  std::string pending_;  // body bytes read with the head
  std::unique_ptr<ChunkedDecoder> chunked_;
  int64_t remaining_ = -1;  // of a body with a length; -1: to the connection's end
  bool ended_ = false;      // the body has come to its end
  bool whole_ = false;      // ... and nothing followed it
  bool keepAlive_ = false;
};

// A WinINet error as the wire would have said it.
WireStatus StatusOfError(DWORD error) {
  switch (error) {
    case ERROR_INTERNET_CANNOT_CONNECT:
    case ERROR_INTERNET_NAME_NOT_RESOLVED:
    case ERROR_INTERNET_DISCONNECTED:
      return WireStatus::REFUSED;
    case ERROR_INTERNET_TIMEOUT:
    case WSAETIMEDOUT:
      return WireStatus::TIMED_OUT;
    case ERROR_INVALID_HANDLE:
    case ERROR_INTERNET_OPERATION_CANCELLED:
      return WireStatus::ABANDONED;
    case ERROR_HTTP_INVALID_SERVER_RESPONSE:
      return WireStatus::MALFORMED;
    default:
      return WireStatus::BROKEN;
  }
}

// https, and requests whose proxy a script picks: WinINet carries them (connections, TLS,
// the chunks); the head is read from its raw copy and judged like any other, and the
// content coding is undone by the service as for plain http.
class WinInetExchange : public Exchange {
 public:
  explicit WinInetExchange(const ExchangeRequest& request) : request_(request) {}
  ~WinInetExchange() override {
    if (registered_) {
      std::lock_guard<std::mutex> lock(request_.abortable->lock);
      if (request_.abortable->handle == handle_)
        request_.abortable->handle = nullptr;
      else
        handle_ = nullptr;  // the window thread has closed it
    }
    if (handle_) InternetCloseHandle(handle_);
    if (connect_) InternetCloseHandle(connect_);
  }

  WireStatus Open(AnswerHead& head) override {
    const HttpAddress& where = request_.where;
    connect_ = InternetConnectW(request_.session, WideFromText(where.host).c_str(), where.port,
                                nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    if (!connect_) return StatusOfError(GetLastError());
    DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                  INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_NO_UI |
                  INTERNET_FLAG_NO_AUTO_REDIRECT;
    if (where.secure) flags |= INTERNET_FLAG_SECURE;
    handle_ = HttpOpenRequestW(connect_, L"GET", WideFromText(where.target).c_str(), nullptr,
                               nullptr, nullptr, flags, 0);
    if (!handle_) return StatusOfError(GetLastError());
    if (request_.abortable) {
      std::lock_guard<std::mutex> lock(request_.abortable->lock);
      if (request_.abortable->aborted) return WireStatus::ABANDONED;
      request_.abortable->handle = handle_;
      registered_ = true;
    }
    DWORD connect = Bounded(request_, request_.connectMs),
          idle = Bounded(request_, request_.idleMs);
    InternetSetOptionW(handle_, INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof connect);
    InternetSetOptionW(handle_, INTERNET_OPTION_SEND_TIMEOUT, &idle, sizeof idle);
    InternetSetOptionW(handle_, INTERNET_OPTION_RECEIVE_TIMEOUT, &idle, sizeof idle);
    std::wstring headers = WideFromText(ExtraHeaders(request_));
    if (!HttpSendRequestW(handle_, headers.c_str(), static_cast<DWORD>(headers.size()), nullptr, 0))
      return StatusOfError(GetLastError());
    if (request_.onConnected) request_.onConnected();
    // The head as the bytes that came (the ANSI query: the wide one would decode them in the
    // system's code page).
    std::vector<char> raw(8192);
    DWORD size = static_cast<DWORD>(raw.size());
    while (!HttpQueryInfoA(handle_, HTTP_QUERY_RAW_HEADERS_CRLF, raw.data(), &size, nullptr)) {
      if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size > ANSWER_HEAD_LIMIT)
        return WireStatus::MALFORMED;
      raw.resize(size + 1);
    }
    if (!ParseAnswerHead(std::string_view(raw.data(), size), head)) return WireStatus::MALFORMED;
    head.chunked = false;  // WinINet has taken the chunks off
    expected_ = head.status == 204 || head.status == 304 ? 0 : head.contentLength;
    return WireStatus::OK;
  }

  WireStatus Read(char* buffer, size_t size, size_t& got, bool) override {
    got = 0;
    DWORD n = 0;
    if (!InternetReadFile(handle_, buffer, static_cast<DWORD>(std::min<size_t>(size, 1 << 20)), &n))
      return StatusOfError(GetLastError());
    if (n == 0) {
      // WinINet ends a body that was cut as if it were whole; a length says otherwise.
      return expected_ >= 0 && read_ < static_cast<uint64_t>(expected_) ? WireStatus::CLOSED
                                                                        : WireStatus::END;
    }
    read_ += n;
    got = n;
    return WireStatus::OK;
  }

  void Drain() override {}

 private:
  ExchangeRequest request_;
  HINTERNET connect_ = nullptr;
  HINTERNET handle_ = nullptr;
  bool registered_ = false;  // handle_ is in request_.abortable
  int64_t expected_ = -1;
  uint64_t read_ = 0;
};

}  // namespace

void AbortableHandle::Abort() {
  std::lock_guard<std::mutex> guard(lock);
  aborted = true;
  if (handle) InternetCloseHandle(handle);
  handle = nullptr;
}

std::unique_ptr<Exchange> MakeExchange(const ExchangeRequest& request) {
  if (!request.where.secure) {
    Route route = RouteFor(request.where);
    if (!route.bySystem) return std::unique_ptr<Exchange>(new WireExchange(request, route));
  }
  return std::unique_ptr<Exchange>(new WinInetExchange(request));
}
