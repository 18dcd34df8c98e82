#include "transfer.h"

#include <windows.h>
#include <wininet.h>
// after wininet.h
#include <urlmon.h>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "addresses.h"
#include "config.h"
#include "texts.h"
#include "toolkit.h"
#include "videopage.h"
#include "wide.h"

// The internet functions are called in their wide forms, with the address made pure ASCII
// first (AsciiAddress), so that it reaches the site as the bytes it holds whatever the
// system's code page. Two calls keep their ANSI forms: ObtainUserAgentString, which has no
// other (the agent string is ASCII), and the query of Content-Disposition, whose value is
// wanted as the bytes the server sent: the wide form decodes them in the system's code page
// first (under 1252, a Windows-1251 "Фильм" comes back as "Ôèëüì"), while the name in them
// is UTF-8 or Windows-1251 whatever that code page is. Paths go through the W file
// functions.
namespace {

// How often the waiting window thread looks at the limits.
constexpr int WATCH_INTERVAL_MS = 100;

// One transfer, shared by the window thread and its worker; whichever lets go last frees
// it. The worker alone writes the private file; the window thread alone touches the
// target.
struct Job {
  std::string address;
  std::string privatePath;  // UTF-8, as every path (os.h); the partial file when resuming
  bool resuming = false;    // privatePath is the caller's partial file, never removed
  TransferKind kind = TransferKind::PAGE;
  TransferLimits limits{};
  HANDLE done = nullptr;  // set by the worker when it has finished
  std::atomic<int> references{2};
  std::atomic<bool> abandoned{false};
  std::atomic<bool> connected{false};  // a connection carried the request
  std::atomic<DWORD> lastActivity{0};  // tick of the last sign of life
  std::atomic<uint64_t> bytes{0};
  std::atomic<int64_t> length{-1};  // the length the server announced, -1 when none
  DWORD started = 0;
  bool given = false;  // the window thread has given up on it (window thread only)
  // Written by the worker before `done` is set.
  TransferStatus status = TransferStatus::FAILED;
  int httpStatus = 0;
  std::string suggestedName;
};

void Release(Job* job) {
  if (--job->references == 0) {
    CloseHandle(job->done);
    delete job;
  }
}

void (*closeHandler)() = nullptr;
HINTERNET session = nullptr;
std::mutex liveLock;
std::vector<Job*> live;  // transfers started and not yet finished or abandoned by their waiter
unsigned sequence = 0;

// Signs of life from the internet functions: a connection was made, the request went
// out, the answer arrived. They run on the worker's thread.
void CALLBACK OnStatus(HINTERNET, DWORD_PTR context, DWORD status, void*, DWORD) {
  Job* job = reinterpret_cast<Job*>(context);
  if (!job) return;
  switch (status) {
    case INTERNET_STATUS_CONNECTED_TO_SERVER:
    case INTERNET_STATUS_SENDING_REQUEST:
    case INTERNET_STATUS_REQUEST_SENT:
      job->connected = true;
      job->lastActivity = GetTickCount();
      break;
    case INTERNET_STATUS_RECEIVING_RESPONSE:
    case INTERNET_STATUS_RESPONSE_RECEIVED:
      job->lastActivity = GetTickCount();
      break;
    default:
      break;
  }
}

HINTERNET Session() {
  if (session) return session;
  char agent[512] = "";
  DWORD size = sizeof agent;
  if (ObtainUserAgentString(0, agent, &size) != S_OK)
    std::snprintf(agent, sizeof agent, "Mozilla/4.0");
  // The system's proxy settings (and http_proxy under Wine) apply, as for the browser.
  session =
      InternetOpenW(WideFromText(agent).c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  if (session) InternetSetStatusCallbackW(session, OnStatus);
  return session;
}

TransferStatus StatusOfError(DWORD error) {
  switch (error) {
    case ERROR_INTERNET_CANNOT_CONNECT:
    case ERROR_INTERNET_NAME_NOT_RESOLVED:
    case ERROR_INTERNET_DISCONNECTED:
      return TransferStatus::REFUSED;
    case ERROR_INTERNET_TIMEOUT:
    case WSAETIMEDOUT:
      return TransferStatus::TIMED_OUT;
    case ERROR_INTERNET_CONNECTION_ABORTED:
    case ERROR_INTERNET_CONNECTION_RESET:
    case ERROR_HTTP_INVALID_SERVER_RESPONSE:
      return TransferStatus::CUT;
    default:
      return TransferStatus::FAILED;
  }
}

// Why the job's request failed with `error`. A connection that breaks once the time limit
// has passed without data was ended by that limit, whatever the error says.
TransferStatus FailureOf(const Job* job, DWORD error) {
  TransferStatus status = StatusOfError(error);
  if (status == TransferStatus::REFUSED) return status;
  DWORD quiet = GetTickCount() - job->lastActivity;
  DWORD limit = static_cast<DWORD>(job->connected ? job->limits.idleMs : job->limits.connectMs);
  if (quiet >= limit - limit / 10) return TransferStatus::TIMED_OUT;
  // A connection that carried the request and then failed broke off.
  return status == TransferStatus::FAILED && job->connected ? TransferStatus::CUT : status;
}

// The length the server announced, -1 when it gave none.
int64_t ContentLength(HINTERNET request) {
  wchar_t text[32] = L"";
  DWORD size = sizeof text;
  if (!HttpQueryInfoW(request, HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr)) return -1;
  wchar_t* end = nullptr;
  long long value = std::wcstoll(text, &end, 10);
  return end != text && value >= 0 ? value : -1;
}

// The UTF-8 file name the answer's Content-Disposition gives (DispositionFileName), or
// empty. The ANSI query hands over the header's bytes as they came (see above).
std::string DispositionName(HINTERNET request) {
  char text[1024] = "";
  DWORD size = sizeof text - 1;
  if (!HttpQueryInfoA(request, HTTP_QUERY_CONTENT_DISPOSITION, text, &size, nullptr)) return "";
  return DispositionFileName(std::string_view(text, size));
}

// Copies the answer's body into `file` until its end; DONE when all of it is there.
TransferStatus CopyBody(Job* job, HINTERNET request, HANDLE file) {
  std::vector<char> buffer(64 * 1024);
  for (;;) {
    if (job->abandoned) return TransferStatus::FAILED;
    // A synchronous read waits until it can fill the whole buffer: asking what has arrived
    // first keeps a slow transfer's signs of life (and the abandon check) frequent.
    DWORD available = 0;
    if (!InternetQueryDataAvailable(request, &available, 0, 0))
      return FailureOf(job, GetLastError());
    if (available == 0) return TransferStatus::DONE;  // the end of the answer
    DWORD got = 0;
    DWORD want = available < buffer.size() ? available : static_cast<DWORD>(buffer.size());
    if (!InternetReadFile(request, buffer.data(), want, &got))
      return FailureOf(job, GetLastError());
    if (got == 0) return TransferStatus::DONE;
    job->lastActivity = GetTickCount();
    DWORD written = 0;
    if (!WriteFile(file, buffer.data(), got, &written, nullptr) || written != got)
      return TransferStatus::NOT_SAVED;
    job->bytes += got;
  }
}

// Reads the answer's body into the private file; the status it ends with.
TransferStatus ReadBody(Job* job, HINTERNET request) {
  HANDLE file = CreateFileW(WideFromPath(job->privatePath).c_str(), GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                            job->resuming ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) return TransferStatus::NOT_SAVED;
  SetEndOfFile(file);  // a partial file starts afresh: no range is asked for yet
  const int64_t announced = ContentLength(request);
  job->length = announced;
  TransferStatus status = CopyBody(job, request, file);
  if (status == TransferStatus::DONE && announced >= 0 &&
      job->bytes != static_cast<uint64_t>(announced))
    status = TransferStatus::CUT;
  CloseHandle(file);
  // Only a complete file may take the target's place; a partial file keeps what came.
  if ((status != TransferStatus::DONE || job->abandoned) && !job->resuming)
    DeleteFileW(WideFromPath(job->privatePath).c_str());
  return status;
}

// What a request needs of an http or https address.
struct RequestTarget {
  std::wstring host;
  INTERNET_PORT port = 0;
  bool secure = false;
  std::wstring object;  // the path with its query, "/" when there is none
};

// False (with the last error set) when the address is not an http or https one.
bool TargetOf(const String& address, RequestTarget& target) {
  URL_COMPONENTSW parts = {};
  parts.dwStructSize = sizeof parts;
  wchar_t host[256] = L"", path[4096] = L"", extra[4096] = L"";
  parts.lpszHostName = host;
  parts.dwHostNameLength = ARRAYSIZE(host);
  parts.lpszUrlPath = path;
  parts.dwUrlPathLength = ARRAYSIZE(path);
  parts.lpszExtraInfo = extra;
  parts.dwExtraInfoLength = ARRAYSIZE(extra);
  if (!InternetCrackUrlW(WideFromText(AsciiAddress(address)).c_str(), 0, 0, &parts) ||
      (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS)) {
    SetLastError(ERROR_INTERNET_UNRECOGNIZED_SCHEME);
    return false;
  }
  target.host = host;
  target.port = parts.nPort;
  target.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
  target.object = std::wstring(path) + extra;
  if (target.object.empty()) target.object = L"/";
  return true;
}

// The time limits are set on the request itself, which is where the internet functions
// read them.
void SetRequestLimits(HINTERNET request, const TransferLimits& limits) {
  DWORD connect = static_cast<DWORD>(limits.connectMs);
  DWORD idle = static_cast<DWORD>(limits.idleMs);
  InternetSetOptionW(request, INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof connect);
  InternetSetOptionW(request, INTERNET_OPTION_SEND_TIMEOUT, &idle, sizeof idle);
  InternetSetOptionW(request, INTERNET_OPTION_RECEIVE_TIMEOUT, &idle, sizeof idle);
}

// Opens the request for the job's address and sends it.
HINTERNET SendRequest(Job* job, HINTERNET& connection) {
  RequestTarget target;
  if (!TargetOf(job->address, target)) return nullptr;
  const DWORD_PTR context = reinterpret_cast<DWORD_PTR>(job);
  connection = InternetConnectW(session, target.host.c_str(), target.port, nullptr, nullptr,
                                INTERNET_SERVICE_HTTP, 0, context);
  if (!connection) return nullptr;
  DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_NO_UI;
  if (target.secure) flags |= INTERNET_FLAG_SECURE;
  HINTERNET request = HttpOpenRequestW(connection, L"GET", target.object.c_str(), nullptr, nullptr,
                                       nullptr, flags, context);
  if (!request) return nullptr;
  SetRequestLimits(request, job->limits);
  if (!HttpSendRequestW(request, nullptr, 0, nullptr, 0)) {
    DWORD error = GetLastError();
    InternetCloseHandle(request);
    SetLastError(error);
    return nullptr;
  }
  return request;
}

DWORD WINAPI Work(void* parameter) {
  Job* job = static_cast<Job*>(parameter);
  HINTERNET connection = nullptr;
  HINTERNET request = SendRequest(job, connection);
  if (!request) {
    job->status = FailureOf(job, GetLastError());
  } else {
    job->connected = true;
    job->lastActivity = GetTickCount();
    DWORD code = 0, size = sizeof code;
    if (HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &code, &size,
                       nullptr))
      job->httpStatus = static_cast<int>(code);
    job->suggestedName = DispositionName(request);
    if (job->httpStatus >= 400)
      job->status = TransferStatus::HTTP_ERROR;
    else
      job->status = ReadBody(job, request);
    InternetCloseHandle(request);
  }
  if (connection) InternetCloseHandle(connection);
  SetEvent(job->done);
  Release(job);
  return 0;
}

void Forget(Job* job) {
  std::lock_guard<std::mutex> lock(liveLock);
  for (size_t i = 0; i < live.size(); ++i)
    if (live[i] == job) {
      live.erase(live.begin() + static_cast<std::ptrdiff_t>(i));
      break;
    }
}

// The worker may still be blocked in the network: it is left to end by itself, and since
// only the waiter puts files in place, it can no longer change the target. Its private
// file goes now (a file still open is removed when the worker closes it).
void Abandon(Job* job) {
  job->abandoned = true;
  if (!job->resuming) DeleteFileW(WideFromPath(job->privatePath).c_str());
}

Job* Start(const String& address, const std::string& target, const TransferLimits& limits,
           TransferKind kind, const TransferResume* resume) {
  if (!Session()) return nullptr;
  Job* job = new (std::nothrow) Job;
  if (!job) return nullptr;
  char suffix[48];
  std::snprintf(suffix, sizeof suffix, ".%lu-%u.part", GetCurrentProcessId(), ++sequence);
  job->address = address;
  job->limits = limits;
  job->privatePath = resume ? resume->partialPath : target + suffix;
  job->resuming = resume != nullptr;
  job->kind = kind;
  job->done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  job->started = GetTickCount();
  job->lastActivity = job->started;
  if (!job->done) {
    delete job;
    return nullptr;
  }
  {
    std::lock_guard<std::mutex> lock(liveLock);
    live.push_back(job);
  }
  HANDLE thread = CreateThread(nullptr, 0, Work, job, 0, nullptr);
  if (!thread) {
    Forget(job);
    CloseHandle(job->done);
    delete job;
    return nullptr;
  }
  CloseHandle(thread);
  return job;
}

// Whether a limit has passed for the job.
bool OverLimit(const Job* job) {
  DWORD now = GetTickCount();
  const TransferLimits& limits = job->limits;
  if (limits.totalMs > 0 && now - job->started >= static_cast<DWORD>(limits.totalMs)) return true;
  DWORD quiet = now - job->lastActivity;
  return quiet >= static_cast<DWORD>(job->connected ? limits.idleMs : limits.connectMs);
}

bool Finished(const Job* job) { return WaitForSingleObject(job->done, 0) == WAIT_OBJECT_0; }

// "name (2).ext" for `path` = "...\name.ext" and n = 2.
std::string NumberedName(const std::string& path, int n) {
  size_t slash = path.find_last_of("\\/");
  size_t dot = path.find_last_of('.');
  if (dot == String::npos || (slash != String::npos && dot < slash)) dot = path.size();
  return path.substr(0, dot) + " (" + std::to_string(n) + ")" + path.substr(dot);
}

}  // namespace

struct Transfer {
  Job* job;
};

TransferLimits PageLimits(uint64_t maxBytes) {
  return {VS_TRANSFER_CONNECT_SECONDS * 1000, VS_TRANSFER_IDLE_SECONDS * 1000,
          VS_TRANSFER_PAGE_SECONDS * 1000, maxBytes};
}

void TransferSetCloseHandler(void (*handler)()) { closeHandler = handler; }

Transfer* TransferBegin(const String& address, const std::string& target,
                        const TransferLimits& limits, TransferKind kind,
                        const TransferResume* resume) {
  Job* job = Start(address, target, limits, kind, resume);
  if (!job) return nullptr;
  Transfer* transfer = new (std::nothrow) Transfer{job};
  if (!transfer) {
    Abandon(job);
    Forget(job);
    Release(job);
  }
  return transfer;
}

TransferProgress TransferPoll(Transfer* transfer) {
  Job* job = transfer->job;
  if (!job->given && !Finished(job) && OverLimit(job)) {
    Abandon(job);
    Forget(job);
    job->given = true;
  }
  TransferProgress progress;
  progress.bytes = job->bytes;
  progress.length = job->length;
  progress.finished = job->given || Finished(job);
  return progress;
}

HANDLE TransferSignal(Transfer* transfer) { return transfer->job->done; }

TransferResult TransferResultOf(Transfer* transfer) {
  Job* job = transfer->job;
  TransferResult result;
  result.bytes = job->bytes;
  if (!TransferPoll(transfer).finished) {
    // Asked before the end: given up.
    Abandon(job);
    Forget(job);
    job->given = true;
  }
  if (job->given) {
    result.status = TransferStatus::TIMED_OUT;
    return result;
  }
  result.status = job->status;
  result.httpStatus = job->httpStatus;
  result.suggestedName = job->suggestedName;
  return result;
}

bool TransferSave(Transfer* transfer, const std::string& target, bool replace,
                  std::string* savedAs) {
  Job* job = transfer->job;
  if (job->given || !Finished(job) || job->status != TransferStatus::DONE) return false;
  const std::wstring from = WideFromPath(job->privatePath);
  bool moved = false;
  std::string path = target;
  if (replace) {
    moved = MoveFileExW(from.c_str(), WideFromPath(path).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
  } else {
    // The first free name among "name.ext", "name (2).ext", "name (3).ext" ...
    for (int n = 1; !moved && n < 1000; ++n) {
      path = n == 1 ? target : NumberedName(target, n);
      moved = MoveFileExW(from.c_str(), WideFromPath(path).c_str(), 0) != 0;
      if (!moved && GetLastError() != ERROR_ALREADY_EXISTS && GetLastError() != ERROR_FILE_EXISTS)
        break;
    }
  }
  if (moved && savedAs) *savedAs = path;
  return moved;
}

void TransferRelease(Transfer* transfer) {
  if (!transfer) return;
  Job* job = transfer->job;
  if (!job->given && !Finished(job)) Abandon(job);
  Forget(job);
  if (!job->resuming)
    DeleteFileW(WideFromPath(job->privatePath).c_str());  // nothing when it was saved
  Release(job);
  delete transfer;
}

TransferResult TransferFile(const String& address, const std::string& target,
                            const TransferLimits& limits, TransferKind kind) {
  Transfer* transfer = TransferBegin(address, target, limits, kind);
  if (!transfer) return TransferResult();
  while (!TransferPoll(transfer).finished) {
    if (EventPumpUntil(TransferSignal(transfer), WATCH_INTERVAL_MS) == PUMP_CLOSE_REQUESTED &&
        closeHandler)
      closeHandler();
  }
  TransferResult result = TransferResultOf(transfer);
  if (result.Ok() && !TransferSave(transfer, target, true, nullptr))
    result.status = TransferStatus::NOT_SAVED;
  TransferRelease(transfer);
  return result;
}

void TransfersEnd() {
  std::lock_guard<std::mutex> lock(liveLock);
  for (Job* job : live) Abandon(job);  // partial files stay
  live.clear();
}

namespace {

// Why an answer was refused, in the user's words.
String BadAnswerText(const TransferResult& result) {
  switch (result.fault) {
    case AnswerFault::NO_CONTENT:
      return TEXT_FAIL_NO_CONTENT + std::to_string(result.httpStatus);
    case AnswerFault::EMPTY:
      return TEXT_FAIL_EMPTY;
    case AnswerFault::WEB_PAGE:
      return TEXT_FAIL_WEB_PAGE;
    case AnswerFault::OFF_SITE:
      return TEXT_FAIL_OFF_SITE + result.otherHost;
    case AnswerFault::TOO_MANY_REDIRECTS:
      return TEXT_FAIL_REDIRECTS;
    case AnswerFault::TOO_BIG:
      return TEXT_FAIL_TOO_BIG + std::to_string((result.maxBytes + (1 << 20) - 1) >> 20) +
             TEXT_MEGABYTES;
    case AnswerFault::WRONG_RANGE:
      return TEXT_FAIL_WRONG_RANGE;
    case AnswerFault::CODING:
      return TEXT_FAIL_CODING;
    case AnswerFault::STATUS:
      return TEXT_FAIL_STATUS + std::to_string(result.httpStatus);
    default:
      return TEXT_FAIL_MALFORMED;
  }
}

}  // namespace

String TransferFailureText(const TransferResult& result) {
  switch (result.status) {
    case TransferStatus::REFUSED:
      return TEXT_FAIL_REFUSED;
    case TransferStatus::TIMED_OUT:
      return TEXT_FAIL_TIMED_OUT;
    case TransferStatus::CUT:
      return TEXT_FAIL_CUT;
    case TransferStatus::HTTP_ERROR:
      return TEXT_FAIL_HTTP + std::to_string(result.httpStatus);
    case TransferStatus::BAD_ANSWER:
      return BadAnswerText(result);
    case TransferStatus::NOT_SAVED:
      return TEXT_FAIL_NOT_SAVED;
    default:
      return TEXT_FAIL_OTHER;
  }
}
