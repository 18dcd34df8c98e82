#include "answer_check.h"

#include "http_body.h"

namespace {

AnswerVerdict Refuse(AnswerFault fault) { return {AnswerStep::REFUSE, fault}; }

bool IsWebPage(const std::string& type) {
  return type == "text/html" || type == "application/xhtml+xml";
}

}  // namespace

AnswerVerdict JudgeAnswer(const AnswerHead& head, const AnswerAsked& asked) {
  const int status = head.status;
  if (status == 416 && asked.rangeFrom > 0) {
    // The range asked for starts at the resource's end: the partial file holds it all.
    uint64_t total = 0;
    if (ParseUnsatisfiedRange(head.contentRange, total) && total == asked.rangeFrom)
      return {AnswerStep::COMPLETE, AnswerFault::NONE};
  }
  if (status >= 400) return {AnswerStep::HTTP_ERROR, AnswerFault::NONE};
  if (status == 301 || status == 302 || status == 303 || status == 307 || status == 308)
    return head.location.empty() ? Refuse(AnswerFault::STATUS)
                                 : AnswerVerdict{AnswerStep::REDIRECT, AnswerFault::NONE};
  if (status == 204 || status == 205 || status == 304) return Refuse(AnswerFault::NO_CONTENT);
  if (status != 200 && status != 206) return Refuse(AnswerFault::STATUS);
  if (head.otherTransferCoding) return Refuse(AnswerFault::MALFORMED);
  // Asked without building a decoder: one holds a quarter of a megabyte of room.
  if (!head.contentCoding.empty() && !ContentDecoder::Knows(head.contentCoding))
    return Refuse(AnswerFault::CODING);

  AnswerStep step = AnswerStep::TAKE;
  if (asked.kind == TransferKind::FILE) {
    if (IsWebPage(head.contentType)) return Refuse(AnswerFault::WEB_PAGE);
    if (status == 206) {
      // Only a continuation of the bytes asked for, as they are stored: never a coded one.
      ContentRange range;
      if (asked.rangeFrom == 0 || !head.contentCoding.empty() ||
          !ParseContentRange(head.contentRange, range) || range.first != asked.rangeFrom ||
          (head.contentLength >= 0 &&
           static_cast<uint64_t>(head.contentLength) != range.last - range.first + 1))
        return Refuse(AnswerFault::WRONG_RANGE);
      step = AnswerStep::APPEND;
    }
  } else if (status != 200) {
    return Refuse(AnswerFault::STATUS);
  }
  if (head.contentLength == 0) return Refuse(AnswerFault::EMPTY);
  const uint64_t before = step == AnswerStep::APPEND ? asked.rangeFrom : 0;
  if (asked.maxBytes > 0 && head.contentCoding.empty() && head.contentLength > 0 &&
      before + static_cast<uint64_t>(head.contentLength) > asked.maxBytes)
    return Refuse(AnswerFault::TOO_BIG);
  return {step, AnswerFault::NONE};
}
