// The file servers' answers: byte ranges, validators and conditional ranges, for files
// held in memory and for files made on the fly from a fixed pattern.
#pragma once

#include <httplib.h>

#include <cstdint>
#include <memory>
#include <string>

namespace site {

// What a client asked of a file besides its address.
struct FileAsk {
  std::string range;     // the Range header's value
  std::string if_range;  // the If-Range header's value
};

// A file's validators: a strong entity tag (with its quotes) and a modification date. Both
// follow from a fingerprint of the bytes, so they stay the same from run to run for the
// same bytes, and differ between files.
struct Validators {
  std::string etag;
  std::string last_modified;
};
Validators ValidatorsOf(uint64_t fingerprint);
// FNV-1a of the bytes: the fingerprint of a file held in memory.
uint64_t Fingerprint(const std::string& bytes);

// The byte pattern the generated files are cut from. The stream at `base` has as its
// byte i the top byte of (base + i + 1) * 0x9E3779B97F4A7C15 (mod 2^64); files differ by
// their base. Writes bytes [offset, offset + length).
void PatternBytes(uint64_t base, uint64_t offset, char* out, size_t length);
std::string PatternBytes(uint64_t base, uint64_t offset, size_t length);

// A file made on the fly, never held whole.
struct GeneratedFile {
  uint64_t base = 0;             // where in the pattern its bytes start
  uint64_t size = 0;             // its length, as announced
  uint64_t cut_at = UINT64_MAX;  // an answer starting before this byte breaks off there
                                 // (the connection closes); one starting at or after it
                                 // runs to the end, so a resumed download completes
  uint64_t rate = 0;             // bytes a second; 0 for as fast as the client takes them
  bool ranges = true;            // false: Range and If-Range ignored, always the whole
                                 // file, without Accept-Ranges or validators
  std::string signature;         // bytes that replace the pattern's first ones
};
// The generated file's bytes [offset, offset + length).
void GeneratedBytes(const GeneratedFile& file, uint64_t offset, char* out, size_t length);
std::string GeneratedBytes(const GeneratedFile& file, uint64_t offset, size_t length);

// Answers with a generated file, or the byte range asked for (if If-Range allows it).
void ServeGenerated(const GeneratedFile& file, const char* type, const FileAsk& ask,
                    httplib::Response& res);
// Answers with a file held in memory, or the byte range asked for.
void ServeBytes(const std::shared_ptr<const std::string>& data, const Validators& validators,
                const char* type, const FileAsk& ask, httplib::Response& res);

}  // namespace site
