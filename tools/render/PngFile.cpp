#include "render/PngFile.h"

#include "hostlib/PluginHost.h"
#include "render/OutputFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <png.h>
#include <unistd.h>

namespace glowrasp::render {
namespace {

struct StreamCloser {
  void operator()(std::FILE* stream) const { std::fclose(stream); }
};
using Stream = std::unique_ptr<std::FILE, StreamCloser>;

std::vector<png_byte> toRgb(const host::EditorPicture& picture) {
  std::vector<png_byte> rgb;
  rgb.reserve(picture.pixels.size() * 3);
  for (const std::uint32_t pixel : picture.pixels) {
    rgb.push_back(static_cast<png_byte>(pixel >> 16));
    rgb.push_back(static_cast<png_byte>(pixel >> 8));
    rgb.push_back(static_cast<png_byte>(pixel));
  }
  return rgb;
}

} // namespace

void writePng(const OutputFile& file, const std::string& shownPath,
              const host::EditorPicture& picture) {
  const auto failure = [&shownPath](const std::string& reason) {
    return host::HostError("cannot write '" + shownPath + "': " + reason);
  };
  // The stream gets a descriptor of its own: closing it must leave the
  // output file's one open for the commit.
  const int descriptor = dup(file.descriptor());
  if (descriptor < 0)
    throw failure(std::strerror(errno));
  Stream stream(fdopen(descriptor, "wb"));
  if (!stream) {
    const int error = errno;
    close(descriptor);
    throw failure(std::strerror(error));
  }

  const std::vector<png_byte> rgb = toRgb(picture);
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(picture.width);
  image.height = static_cast<png_uint_32>(picture.height);
  image.format = PNG_FORMAT_RGB;
  if (!png_image_write_to_stdio(&image, stream.get(), 0, rgb.data(), picture.width * 3, nullptr))
    throw failure(image.message);
  if (std::fflush(stream.get()) != 0 || std::fclose(stream.release()) != 0)
    throw failure(std::strerror(errno));
}

} // namespace glowrasp::render
