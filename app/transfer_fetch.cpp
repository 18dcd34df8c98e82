// The worker's side of a transfer: the request and its redirects, the checks of the answer
// (answer_check.h) before a byte of it is written, and the body into the file, its size
// bounded and its end checked.
#include <algorithm>
#include <cstring>
#include <memory>
#include <set>
#include <vector>

#include "addresses.h"
#include "answer_check.h"
#include "http_body.h"
#include "transfer_job.h"
#include "videopage.h"
#include "wide.h"

namespace {

constexpr int REDIRECT_LIMIT = 10;
// File writes go in pieces of up to a mebibyte; each read is given at least a quarter of
// that, so that a fast connection is read in few, large pieces.
constexpr size_t WRITE_BUFFER = 1 << 20;
constexpr size_t READ_ROOM = 256 * 1024;
// A private file of an earlier run untouched for this long is a leftover.
constexpr ULONGLONG LEFTOVER_AGE_100NS = 3600ULL * 10000000ULL;

// The file a body goes into, with a limit on the resource's size.
class FileSink {
 public:
  explicit FileSink(uint64_t maxBytes) : maxBytes_(maxBytes) {}
  ~FileSink() {
    if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
  }
  FileSink(const FileSink&) = delete;
  FileSink& operator=(const FileSink&) = delete;

  // The private file is made anew; a partial file keeps its first `keep` bytes.
  bool Open(const std::string& path, bool partial, uint64_t keep) {
    file_ =
        CreateFileW(WideFromPath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                    nullptr, partial ? OPEN_ALWAYS : CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file_ == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(keep);
    total_ = keep;
    buffer_.resize(WRITE_BUFFER);
    return SetFilePointerEx(file_, at, nullptr, FILE_BEGIN) && SetEndOfFile(file_);
  }
  // Where the next bytes may be read to, directly.
  char* Room(size_t& room) {
    if (buffer_.size() - fill_ < READ_ROOM && !Flush()) return room = 0, nullptr;
    room = buffer_.size() - fill_;
    return buffer_.data() + fill_;
  }
  // Takes `size` bytes read into Room. False when the file cannot take them (tooBig()
  // says whether it is the limit).
  bool Commit(size_t size) {
    fill_ += size;
    total_ += size;
    if (maxBytes_ && total_ > maxBytes_) tooBig_ = true;
    return !tooBig_;
  }
  // A decoder's output.
  static bool Take(void* context, const char* data, size_t size) {
    FileSink* sink = static_cast<FileSink*>(context);
    while (size > 0) {
      size_t room = 0;
      char* into = sink->Room(room);
      if (!into) return false;
      size_t n = std::min(room, size);
      std::memcpy(into, data, n);
      if (!sink->Commit(n)) return false;
      data += n;
      size -= n;
    }
    return true;
  }
  bool Flush() {
    DWORD written = 0;
    bool ok = fill_ == 0 ||
              (WriteFile(file_, buffer_.data(), static_cast<DWORD>(fill_), &written, nullptr) &&
               written == fill_);
    fill_ = 0;
    return ok;
  }
  bool Close() {
    bool ok = Flush() && CloseHandle(file_);
    file_ = INVALID_HANDLE_VALUE;
    return ok;
  }
  uint64_t total() const { return total_; }
  bool tooBig() const { return tooBig_; }

 private:
  HANDLE file_ = INVALID_HANDLE_VALUE;
  std::vector<char> buffer_;
  size_t fill_ = 0;
  uint64_t total_ = 0;  // bytes of the resource: kept, written and buffered
  uint64_t maxBytes_;
  bool tooBig_ = false;
};

uint64_t FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(WideFromPath(path).c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Removes the private files that earlier runs left beside `target` when they ended without
// cleaning up (killed, crashed): "target.<time>-<n>.part", and the older
// "target.<process>-<n>.part", untouched for an hour. Once per target and run.
void SweepLeftovers(const std::string& target) {
  static std::mutex lock;
  static std::set<std::string> swept;
  {
    std::lock_guard<std::mutex> guard(lock);
    if (!swept.insert(target).second) return;
  }
  size_t slash = target.find_last_of("\\/");
  const std::string folder = target.substr(0, slash + 1);
  const std::string prefix = target.substr(slash + 1) + ".";
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(WideFromPath(target + ".*.part").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  FILETIME nowTime;
  GetSystemTimeAsFileTime(&nowTime);
  const ULONGLONG now =
      (static_cast<ULONGLONG>(nowTime.dwHighDateTime) << 32) | nowTime.dwLowDateTime;
  do {
    std::string name = PathFromWide(found.cFileName);
    if (name.size() <= prefix.size() + 5 || name.compare(0, prefix.size(), prefix) != 0) continue;
    std::string middle = name.substr(prefix.size(), name.size() - prefix.size() - 5);
    if (middle.find_first_not_of("0123456789abcdefABCDEF-") != std::string::npos) continue;
    ULONGLONG written = (static_cast<ULONGLONG>(found.ftLastWriteTime.dwHighDateTime) << 32) |
                        found.ftLastWriteTime.dwLowDateTime;
    if (now > written && now - written > LEFTOVER_AGE_100NS)
      DeleteFileW(WideFromPath(folder + name).c_str());
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

TransferStatus StatusOf(WireStatus status, TransferResult& result) {
  switch (status) {
    case WireStatus::REFUSED:
      return TransferStatus::REFUSED;
    case WireStatus::TIMED_OUT:
    case WireStatus::ABANDONED:
      return TransferStatus::TIMED_OUT;
    case WireStatus::CLOSED:
    case WireStatus::BROKEN:
      return TransferStatus::CUT;
    case WireStatus::MALFORMED:
      result.fault = AnswerFault::MALFORMED;
      return TransferStatus::BAD_ANSWER;
    default:
      return TransferStatus::FAILED;
  }
}

TransferStatus Refused(TransferResult& result, AnswerFault fault) {
  result.fault = fault;
  return TransferStatus::BAD_ANSWER;
}

// Copies the body into the sink up to its end.
TransferStatus CopyBody(Job& job, Exchange& exchange, ContentDecoder* decoder, FileSink& sink,
                        ULONGLONG deadline, TransferResult& result) {
  std::vector<char> coded(decoder ? READ_ROOM : 0);
  uint64_t wire = 0;  // body bytes as they came
  for (;;) {
    if (job.abandoned || (deadline && GetTickCount64() >= deadline))
      return TransferStatus::TIMED_OUT;
    size_t room = coded.size(), got = 0;
    char* into = decoder ? coded.data() : sink.Room(room);
    if (!into) return TransferStatus::NOT_SAVED;
    WireStatus status = exchange.Read(into, room, got, false);
    if (status == WireStatus::EMPTY) {
      // Everything so far goes to the disk before the wait, so that a transfer given up
      // meanwhile leaves every byte that arrived.
      if (!sink.Flush()) return TransferStatus::NOT_SAVED;
      if (!decoder) into = sink.Room(room);
      status = exchange.Read(into, room, got, true);
    }
    if (status == WireStatus::END) break;
    if (status != WireStatus::OK) return StatusOf(status, result);
    job.Touch();
    bool taken =
        decoder ? decoder->Feed(into, got, FileSink::Take, &sink) == ContentDecoder::State::MORE ||
                      decoder->state() == ContentDecoder::State::DONE
                : sink.Commit(got);
    job.bytes = sink.total();
    // A coded body is bounded on the wire too: data that decodes to nothing could go on.
    wire += got;
    if (sink.tooBig() || (job.limits.maxBytes && wire > job.limits.maxBytes)) {
      result.maxBytes = job.limits.maxBytes;
      return Refused(result, AnswerFault::TOO_BIG);
    }
    if (!taken)
      return decoder && decoder->state() == ContentDecoder::State::BAD
                 ? Refused(result, AnswerFault::CODING)
                 : TransferStatus::NOT_SAVED;
  }
  if (decoder && decoder->state() != ContentDecoder::State::DONE)
    return Refused(result, AnswerFault::CODING);  // the framing ended inside the coded data
  if (sink.total() == 0) return Refused(result, AnswerFault::EMPTY);
  return TransferStatus::DONE;
}

// The body into the file: whole, not past the limit, its coding undone. A partial file
// keeps every byte that arrived, however the transfer ends.
TransferStatus ReadBody(Job& job, Exchange& exchange, const AnswerHead& head, uint64_t keep,
                        ULONGLONG deadline, TransferResult& result) {
  FileSink sink(job.limits.maxBytes);
  if (!sink.Open(job.privatePath, job.resuming, keep)) return TransferStatus::NOT_SAVED;
  std::unique_ptr<ContentDecoder> decoder = ContentDecoder::For(head.contentCoding);
  int64_t length = -1;
  if (!decoder && head.status == 206) {
    ContentRange range;
    if (ParseContentRange(head.contentRange, range)) length = range.total;
  } else if (!decoder && head.contentLength >= 0) {
    length = static_cast<int64_t>(keep) + head.contentLength;
  }
  job.length = length;
  job.bytes = keep;
  TransferStatus status = CopyBody(job, exchange, decoder.get(), sink, deadline, result);
  result.bytes = sink.total();
  if ((status == TransferStatus::DONE || job.resuming) && !sink.Close())
    status = TransferStatus::NOT_SAVED;
  return status;
}

}  // namespace

TransferResult Fetch(Job& job) {
  TransferResult result;
  std::string address = AsciiAddress(job.address);
  AnswerAsked asked;
  asked.kind = job.kind;
  asked.maxBytes = job.limits.maxBytes;
  uint64_t kept = 0;
  if (job.resuming) {
    kept = FileSize(job.privatePath);
    if (kept > 0 && !job.resumeValidator.empty()) asked.rangeFrom = kept;
  } else {
    SweepLeftovers(job.target);
  }
  const ULONGLONG deadline =
      job.limits.totalMs > 0 ? GetTickCount64() + static_cast<ULONGLONG>(job.limits.totalMs) : 0;

  for (int redirects = 0;; ++redirects) {
    ExchangeRequest request;
    request.address = address;
    if (!ParseHttpAddress(address, request.where)) {
      result.status = TransferStatus::FAILED;
      return result;
    }
    request.agent = job.agent;
    request.askCompressed = job.kind == TransferKind::PAGE;
    request.rangeFrom = asked.rangeFrom;
    request.ifRange = job.resumeValidator;
    request.connectMs = static_cast<DWORD>(job.limits.connectMs);
    request.idleMs = static_cast<DWORD>(job.limits.idleMs);
    request.deadline = deadline;
    request.abandon = job.abandon;
    request.session = job.session;
    request.onConnected = [&job] {
      job.connected = true;
      job.Touch();
    };
    request.abortable = &job.abortable;
    if (job.abandoned) {
      result.status = TransferStatus::TIMED_OUT;
      return result;
    }
    std::unique_ptr<Exchange> exchange = MakeExchange(request);
    AnswerHead head;
    WireStatus opened = exchange->Open(head);
    if (opened != WireStatus::OK) {
      result.status = StatusOf(opened, result);
      return result;
    }
    job.connected = true;
    job.Touch();
    result.httpStatus = head.status;
    const AnswerVerdict verdict = JudgeAnswer(head, asked);
    switch (verdict.step) {
      case AnswerStep::REDIRECT: {
        std::string next;
        HttpAddress to;
        if (redirects == REDIRECT_LIMIT) {
          result.status = Refused(result, AnswerFault::TOO_MANY_REDIRECTS);
        } else if (!RedirectAddress(address, head.location, next) || !ParseHttpAddress(next, to)) {
          result.status = Refused(result, AnswerFault::STATUS);
        } else if (job.kind == TransferKind::PAGE && !IsSiteHost(to.host, job.siteDomain)) {
          result.otherHost = to.host;
          result.status = Refused(result, AnswerFault::OFF_SITE);
        } else {
          exchange->Drain();
          address = next;
          continue;
        }
        return result;
      }
      case AnswerStep::HTTP_ERROR:
        exchange->Drain();  // a short error page: the connection stays for the next request
        result.status = TransferStatus::HTTP_ERROR;
        return result;
      case AnswerStep::REFUSE:
        exchange->Drain();
        if (verdict.fault == AnswerFault::TOO_BIG) result.maxBytes = job.limits.maxBytes;
        result.status = Refused(result, verdict.fault);
        return result;
      case AnswerStep::COMPLETE:  // the partial file held every byte already
        result.validator = job.resumeValidator;
        result.resumedFrom = result.bytes = kept;
        result.status = TransferStatus::DONE;
        return result;
      case AnswerStep::TAKE:
      case AnswerStep::APPEND:
        break;
    }
    const uint64_t keep = verdict.step == AnswerStep::APPEND ? kept : 0;
    result.suggestedName = DispositionFileName(head.disposition);
    // A decoded body is not the bytes the validator names: nothing to resume from.
    result.validator = head.contentCoding.empty() ? AnswerValidator(head) : std::string();
    result.resumedFrom = keep;
    {
      std::lock_guard<std::mutex> lock(job.lock);
      job.result.validator = result.validator;
      job.result.resumedFrom = keep;
    }
    result.status = ReadBody(job, *exchange, head, keep, deadline, result);
    if (!result.Ok()) result.bytes = job.bytes;
    return result;
  }
}
