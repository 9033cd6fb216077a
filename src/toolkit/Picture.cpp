#include "toolkit/Picture.h"

#include "base/Error.h"
#include "base/ThreadSupport.h"

#include <atomic>
#include <csetjmp>
#include <cstdio>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace {

// Larger pictures are refused before any pixel memory is taken.
constexpr long long kMaxPixels = 1LL << 26;

// libjpeg reports errors through this; its default would end the process.
struct TJpegError {
  jpeg_error_mgr Manager; // first member: libjpeg hands back a pointer to it
  std::jmp_buf Jump;
  bool WarningsAreFatal;
  char Message[JMSG_LENGTH_MAX];
};

[[noreturn]] void JpegErrorExit(j_common_ptr info) {
  auto* error = reinterpret_cast<TJpegError*>(info->err);
  info->err->format_message(info, error->Message);
  std::longjmp(error->Jump, 1);
}

// Warnings while the scan is decoded all mean damaged data (premature end,
// stray markers, bad Huffman codes): the picture would come out garbled.
void JpegEmitMessage(j_common_ptr info, int level) {
  auto* error = reinterpret_cast<TJpegError*>(info->err);
  if (level < 0 && error->WarningsAreFatal)
    JpegErrorExit(info);
}

void JpegOutputMessage(j_common_ptr) {}

struct TJpegSize {
  int Width = 0;
  int Height = 0;
};

// Reads the header and, with a target, decodes the pixels into it. Returns
// false with the message in `error` when libjpeg gives up. Only libjpeg's C
// frames lie between setjmp and longjmp, so no destructor is ever skipped.
bool RunJpeg(std::span<const std::uint8_t> data, TJpegError& error, TJpegSize& size,
             TBitmap* target) {
  jpeg_decompress_struct info{};
  info.err = jpeg_std_error(&error.Manager);
  error.Manager.error_exit = JpegErrorExit;
  error.Manager.emit_message = JpegEmitMessage;
  error.Manager.output_message = JpegOutputMessage;
  error.WarningsAreFatal = false;
  error.Message[0] = '\0';
  if (setjmp(error.Jump)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, data.data(), static_cast<unsigned long>(data.size()));
  jpeg_read_header(&info, TRUE);
  size.Width = static_cast<int>(info.image_width);
  size.Height = static_cast<int>(info.image_height);
  if (target && target->Width() == size.Width && target->Height() == size.Height) {
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    error.WarningsAreFatal = true;
    JSAMPARRAY row = (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                               info.output_width * 3, 1);
    while (info.output_scanline < info.output_height) {
      std::uint32_t* out = target->Row(static_cast<int>(info.output_scanline));
      jpeg_read_scanlines(&info, row, 1);
      const JSAMPLE* in = row[0];
      for (JDIMENSION x = 0; x < info.output_width; ++x, in += 3)
        out[x] = std::uint32_t{in[0]} << 16 | std::uint32_t{in[1]} << 8 | in[2];
    }
    jpeg_finish_decompress(&info);
  }
  jpeg_destroy_decompress(&info);
  return true;
}

} // namespace

class TGraphic {
public:
  TGraphic(std::vector<std::uint8_t> jpeg, TJpegSize size) : FJpeg(std::move(jpeg)), FSize(size) {}
  explicit TGraphic(TBitmap pixels)
      : FSize{pixels.Width(), pixels.Height()}, FDecoded(true), FPixels(std::move(pixels)) {}

  int Width() const { return FSize.Width; }
  int Height() const { return FSize.Height; }

  // Decoded once, by whichever thread draws first; the encoded bytes are
  // dropped afterwards. Damaged data leaves the bitmap empty.
  const TBitmap& Pixels() const {
    if (FDecoded.load(std::memory_order_acquire))
      return FPixels;
    std::lock_guard lock(FDecodeLock);
    if (!FDecoded.load(std::memory_order_relaxed)) {
      TBitmap bitmap(FSize.Width, FSize.Height);
      TJpegError error;
      TJpegSize size;
      if (RunJpeg(FJpeg, error, size, &bitmap) && size.Width == FSize.Width &&
          size.Height == FSize.Height)
        FPixels = std::move(bitmap);
      FJpeg = {};
      FDecoded.store(true, std::memory_order_release);
    }
    return FPixels;
  }

private:
  mutable std::vector<std::uint8_t> FJpeg;
  const TJpegSize FSize;
  mutable TMutex FDecodeLock;
  mutable std::atomic<bool> FDecoded{false};
  mutable TBitmap FPixels;
};

TPicture::TPicture() = default;
TPicture::~TPicture() = default;

void TPicture::LoadFromJpeg(std::span<const std::uint8_t> data) {
  TJpegError error;
  TJpegSize size;
  if (!RunJpeg(data, error, size, nullptr))
    throw EGlowraspError(std::string("JPEG error: ") + error.Message);
  if (size.Width <= 0 || size.Height <= 0 ||
      static_cast<long long>(size.Width) * size.Height > kMaxPixels)
    throw EGlowraspError("JPEG error: unsupported picture size " + std::to_string(size.Width) +
                         " x " + std::to_string(size.Height));
  FGraphic = std::make_shared<TGraphic>(std::vector<std::uint8_t>(data.begin(), data.end()), size);
}

void TPicture::LoadFromBitmap(TBitmap pixels) {
  FGraphic = std::make_shared<TGraphic>(std::move(pixels));
}

void TPicture::Assign(const TPicture& other) {
  FGraphic = other.FGraphic;
}

void TPicture::Clear() {
  FGraphic.reset();
}

int TPicture::Width() const {
  return FGraphic ? FGraphic->Width() : 0;
}

int TPicture::Height() const {
  return FGraphic ? FGraphic->Height() : 0;
}

const TBitmap& TPicture::Pixels() const {
  static const TBitmap empty;
  return FGraphic ? FGraphic->Pixels() : empty;
}
