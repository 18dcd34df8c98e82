#include "transfer.h"

#include <windows.h>
#include <wininet.h>
// after wininet.h
#include <urlmon.h>

#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "addresses.h"
#include "config.h"
#include "texts.h"
#include "toolkit.h"
#include "transfer_job.h"
#include "wide.h"

// The window thread's side of the service: transfers are started, watched, put in place
// and given up here; the worker's side is transfer_fetch.cpp. Paths go through the W file
// functions.
namespace {

// How often the waiting window thread looks at the limits.
constexpr int WATCH_INTERVAL_MS = 100;
// At the program's end, the longest wait for the workers given up to stop (they stop at
// once: every wait of theirs ends on the abandon event), so that a partial file holds every
// byte that arrived.
constexpr DWORD END_WAIT_MS = 500;

void Release(Job* job) {
  if (--job->references == 0) {
    CloseHandle(job->done);
    CloseHandle(job->abandon);
    delete job;
  }
}

void (*closeHandler)() = nullptr;
HINTERNET session = nullptr;
std::string agent;
std::mutex liveLock;
std::vector<Job*> live;  // transfers started and not yet finished or abandoned by their waiter
unsigned sequence = 0;
String siteDomain = SiteDomain(SITE_BASE_ADDRESS);

// The WinINet session (for https and the cookie store) and the User-Agent, made once.
bool Session() {
  if (session) return true;
  char text[512] = "";
  DWORD size = sizeof text;
  // ObtainUserAgentString has no wide form; the agent string is ASCII.
  if (ObtainUserAgentString(0, text, &size) != S_OK)
    std::snprintf(text, sizeof text, "Mozilla/4.0");
  agent = text;
  // The system's proxy settings (and http_proxy under Wine) apply, as for the browser.
  session =
      InternetOpenW(WideFromText(agent).c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  return session != nullptr;
}

DWORD WINAPI Work(void* parameter) {
  Job* job = static_cast<Job*>(parameter);
  TransferResult result = Fetch(*job);
  bool remove;
  {
    std::lock_guard<std::mutex> lock(job->lock);
    job->result = result;
    job->finished = true;
    // Only a complete file may take the target's place; a partial file keeps what came.
    remove = !job->resuming && (!result.Ok() || job->abandoned);
  }
  if (remove) DeleteFileW(WideFromPath(job->privatePath).c_str());
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

// Gives the transfer up: every wait of the worker ends now, it sends nothing more, and it
// removes its private file as it stops; a file it has already finished goes here.
void Abandon(Job* job) {
  bool finished;
  {
    std::lock_guard<std::mutex> lock(job->lock);
    job->abandoned = true;
    finished = job->finished;
  }
  SetEvent(job->abandon);
  job->abortable.Abort();
  if (finished && !job->resuming) DeleteFileW(WideFromPath(job->privatePath).c_str());
}

// A private file's name that no other transfer, of this run or another, takes: the time
// in 100 ns steps and a sequence number.
std::string PrivatePath(const std::string& target) {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  char suffix[64];
  std::snprintf(suffix, sizeof suffix, ".%08lx%08lx-%u.part", now.dwHighDateTime, now.dwLowDateTime,
                ++sequence);
  return target + suffix;
}

Job* Start(const String& address, const std::string& target, const TransferLimits& limits,
           TransferKind kind, const TransferResume* resume) {
  if (!Session()) return nullptr;
  Job* job = new (std::nothrow) Job;
  if (!job) return nullptr;
  job->address = address;
  job->target = target;
  job->limits = limits;
  job->kind = kind;
  job->resuming = resume != nullptr;
  job->privatePath = resume ? resume->partialPath : PrivatePath(target);
  if (resume) job->resumeValidator = resume->validator;
  job->siteDomain = siteDomain;
  job->agent = agent;
  job->session = session;
  job->done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  job->abandon = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  job->started = GetTickCount();
  job->lastActivity = job->started;
  if (!job->done || !job->abandon) {
    if (job->done) CloseHandle(job->done);
    if (job->abandon) CloseHandle(job->abandon);
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
    job->references = 1;
    Release(job);
    return nullptr;
  }
  CloseHandle(thread);
  return job;
}

// Whether a limit has passed for the job. The worker keeps the limits itself; this is the
// window thread's guard for a worker held up where it cannot (a name being looked up).
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

struct Transfer {
  Job* job;
};

TransferLimits PageLimits(uint64_t maxBytes) {
  return {VS_TRANSFER_CONNECT_SECONDS * 1000, VS_TRANSFER_IDLE_SECONDS * 1000,
          VS_TRANSFER_PAGE_SECONDS * 1000, maxBytes};
}

void TransferSetCloseHandler(void (*handler)()) { closeHandler = handler; }

void TransferSetSite(const String& baseAddress) { siteDomain = SiteDomain(baseAddress); }

void TransferSetProxy(const String& proxy) { WireSetProxy(proxy); }

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
  if (!TransferPoll(transfer).finished) {
    // Asked before the end: given up.
    Abandon(job);
    Forget(job);
    job->given = true;
  }
  std::lock_guard<std::mutex> lock(job->lock);
  TransferResult result = job->result;
  if (job->given) {
    // What the worker had found stays (the validator of a partial file above all).
    result.status = TransferStatus::TIMED_OUT;
    result.bytes = job->bytes;
  }
  return result;
}

bool TransferSave(Transfer* transfer, const std::string& target, bool replace,
                  std::string* savedAs) {
  Job* job = transfer->job;
  if (job->given || !Finished(job) || !job->result.Ok()) return false;
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
  Abandon(job);  // removes the private file unless it was saved (or the worker will)
  Forget(job);
  Release(job);
  delete transfer;
}

TransferResult TransferFile(const String& address, const std::string& target,
                            const TransferLimits& limits, TransferKind kind,
                            const std::function<bool()>& givesWay, bool* gaveWay) {
  if (gaveWay) *gaveWay = false;
  Transfer* transfer = TransferBegin(address, target, limits, kind);
  if (!transfer) return TransferResult();
  while (!TransferPoll(transfer).finished) {
    if (EventPumpUntil(TransferSignal(transfer), WATCH_INTERVAL_MS) == PUMP_CLOSE_REQUESTED &&
        closeHandler)
      closeHandler();
    if (givesWay && givesWay()) {
      TransferRelease(transfer);
      if (gaveWay) *gaveWay = true;
      return TransferResult();
    }
  }
  TransferResult result = TransferResultOf(transfer);
  if (result.Ok() && !TransferSave(transfer, target, true, nullptr))
    result.status = TransferStatus::NOT_SAVED;
  TransferRelease(transfer);
  return result;
}

void TransfersEnd() {
  std::vector<Job*> ending;
  {
    std::lock_guard<std::mutex> lock(liveLock);
    ending.swap(live);
  }
  std::vector<HANDLE> signals;
  for (Job* job : ending) {
    Abandon(job);
    signals.push_back(job->done);
  }
  const DWORD until = GetTickCount() + END_WAIT_MS;
  for (size_t i = 0; i < signals.size(); i += MAXIMUM_WAIT_OBJECTS) {
    DWORD count = static_cast<DWORD>(std::min<size_t>(signals.size() - i, MAXIMUM_WAIT_OBJECTS));
    DWORD left = static_cast<DWORD>(std::max<long>(0, static_cast<long>(until - GetTickCount())));
    WaitForMultipleObjects(count, signals.data() + i, TRUE, left);
  }
  for (Job* job : ending)
    if (!job->resuming) DeleteFileW(WideFromPath(job->privatePath).c_str());
  Connection::CloseKept();
}

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
