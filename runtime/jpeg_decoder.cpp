// JPEG decoder on libjpeg-turbo with the libjpeg 6b (version 62) interface.
//
// The library reads from memory through a source of our own: the whole data at once, and
// when it asks for more, a warning (not an error) and an end-of-image marker, so that a
// truncated picture still decodes with its missing part grey. Library errors end in a
// longjmp back to the function that called the library; frames that set the jump hold
// only C data, since longjmp skips destructors.

// clang-format off
#include <cstdio>  // jpeglib.h needs FILE and size_t first
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include <csetjmp>
#include <cstdlib>
#include <cstring>

#include "decoder.h"

namespace {

// A progressive picture is decoded scan by scan over the whole picture; a valid one has a
// dozen scans or so. Thousands of tiny scans only cost time.
constexpr int kMaxScans = 500;
// Bound on the library's whole-picture buffers (progressive coefficients): enough for
// the largest picture ImageSizeAllowed lets through.
constexpr long kMaxLibraryMemory = 256L << 20;

struct JpegState {
  jpeg_error_mgr errors;  // first member: the error callbacks get back to the state from it
  std::jmp_buf jump;
  jpeg_decompress_struct cinfo;
  jpeg_source_mgr reader;
  jpeg_progress_mgr progress;
  int created;
  JSAMPLE* row;       // one output row
  uint8_t* fileData;  // a file source read whole
};

const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};

[[noreturn]] void JpegError(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<JpegState*>(cinfo->err)->jump, 1);
}

// A picture program has no console: messages are dropped.
void JpegMessage(j_common_ptr) {}

void JpegProgress(j_common_ptr cinfo) {
  j_decompress_ptr decompress = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (decompress->input_scan_number > kMaxScans) ERREXIT(cinfo, JERR_BAD_PROGRESSION);
}

void ReaderInit(j_decompress_ptr) {}

// Asked for only when the data ran out: the picture was cut short.
boolean ReaderFill(j_decompress_ptr cinfo) {
  WARNMS(cinfo, JWRN_JPEG_EOF);
  cinfo->src->next_input_byte = kEndOfImage;
  cinfo->src->bytes_in_buffer = sizeof kEndOfImage;
  return TRUE;
}

void ReaderSkip(j_decompress_ptr cinfo, long count) {
  jpeg_source_mgr* reader = cinfo->src;
  if (count <= 0) return;
  if (static_cast<size_t>(count) > reader->bytes_in_buffer) {
    reader->bytes_in_buffer = 0;
    ReaderFill(cinfo);
    return;
  }
  reader->next_input_byte += count;
  reader->bytes_in_buffer -= static_cast<size_t>(count);
}

void ReaderTerm(j_decompress_ptr) {}

void JpegRelease(DecoderSource* source) {
  JpegState* state = static_cast<JpegState*>(source->state);
  if (!state) return;
  if (state->created) jpeg_destroy_decompress(&state->cinfo);
  std::free(state->row);
  std::free(state->fileData);
  std::free(state);
  source->state = nullptr;
}

// Reads a file source whole (after its first two bytes proved to be a start of image).
uint8_t* ReadWholeFile(FILE* file, size_t* size) {
  if (std::fseek(file, 0, SEEK_END) != 0) return nullptr;
  long length = std::ftell(file);
  if (length <= 2 || length > JPEG_MAX_FILE_BYTES || std::fseek(file, 0, SEEK_SET) != 0)
    return nullptr;
  uint8_t* data = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(length)));
  if (!data) return nullptr;
  if (std::fread(data, 1, static_cast<size_t>(length), file) != static_cast<size_t>(length)) {
    std::free(data);
    return nullptr;
  }
  *size = static_cast<size_t>(length);
  return data;
}

int JpegCheck(DecoderSource* source) {
  const uint8_t* data = source->data;
  size_t size = source->size;
  uint8_t* fileData = nullptr;
  if (source->fromFile) {
    uint8_t start[2];
    if (!source->file || std::fread(start, 1, 2, source->file) != 2 || start[0] != 0xFF ||
        start[1] != 0xD8)
      return 0;
    fileData = ReadWholeFile(source->file, &size);
    if (!fileData) return 0;
    data = fileData;
  }
  if (size < 2 || data[0] != 0xFF || data[1] != 0xD8) return 0;

  JpegState* state = static_cast<JpegState*>(std::calloc(1, sizeof(JpegState)));
  if (!state) {
    std::free(fileData);
    return 0;
  }
  source->state = state;
  state->fileData = fileData;
  j_decompress_ptr cinfo = &state->cinfo;
  cinfo->err = jpeg_std_error(&state->errors);
  state->errors.error_exit = JpegError;
  state->errors.output_message = JpegMessage;
  state->reader.next_input_byte = data;
  state->reader.bytes_in_buffer = size;
  if (setjmp(state->jump)) {
    JpegRelease(source);
    return 0;
  }
  jpeg_create_decompress(cinfo);
  state->created = 1;
  cinfo->mem->max_memory_to_use = kMaxLibraryMemory;
  state->progress.progress_monitor = JpegProgress;
  cinfo->progress = &state->progress;
  state->reader.init_source = ReaderInit;
  state->reader.fill_input_buffer = ReaderFill;
  state->reader.skip_input_data = ReaderSkip;
  state->reader.resync_to_restart = jpeg_resync_to_restart;
  state->reader.term_source = ReaderTerm;
  cinfo->src = &state->reader;

  jpeg_read_header(cinfo, TRUE);  // a file of tables only is an error here
  if (!ImageSizeAllowed(cinfo->image_width, cinfo->image_height)) {
    JpegRelease(source);
    return 0;
  }
  if (cinfo->jpeg_color_space == JCS_GRAYSCALE) cinfo->out_color_space = JCS_RGB;
  // Four-channel (CMYK) pictures have no conversion to RGB in the library.
  if (cinfo->out_color_space != JCS_RGB) {
    JpegRelease(source);
    return 0;
  }
  jpeg_start_decompress(cinfo);
  if (cinfo->output_components != 3 ||
      !ImageSizeAllowed(cinfo->output_width, cinfo->output_height)) {
    JpegRelease(source);
    return 0;
  }
  size_t rowBytes = (static_cast<size_t>(cinfo->output_width) * 3 + 3) & ~static_cast<size_t>(3);
  state->row = static_cast<JSAMPLE*>(std::malloc(rowBytes));
  if (!state->row) {
    JpegRelease(source);
    return 0;
  }
  source->width = static_cast<int>(cinfo->output_width);
  source->height = static_cast<int>(cinfo->output_height);
  source->bitsPerPixel = 24;
  return 1;
}

int JpegDecode(DecoderSource* source, uint8_t* pixels, long pitch, int flags) {
  JpegState* state = static_cast<JpegState*>(source->state);
  if (!state || !state->row || !pixels) return 0;
  if (setjmp(state->jump)) return 0;  // the caller's release destroys the objects
  j_decompress_ptr cinfo = &state->cinfo;
  const bool bottomUp = (flags & DECODE_BOTTOM_UP) != 0;
  const int width = source->width, height = source->height;
  while (cinfo->output_scanline < cinfo->output_height) {
    ptrdiff_t y = cinfo->output_scanline;
    JSAMPROW rows[1] = {state->row};
    if (jpeg_read_scanlines(cinfo, rows, 1) != 1) return 0;
    uint8_t* out = pixels + (bottomUp ? height - 1 - y : y) * pitch;
    const JSAMPLE* in = state->row;
    for (int x = 0; x < width; ++x, in += 3, out += 3) {
      out[0] = in[2];
      out[1] = in[1];
      out[2] = in[0];
    }
  }
  jpeg_finish_decompress(cinfo);
  return 1;
}

}  // namespace

const ImageDecoder JPEG_DECODER = {"JPEG", JpegCheck, JpegDecode, JpegRelease};
