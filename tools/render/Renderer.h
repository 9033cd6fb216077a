// The processing loop of glowrasp-render: file blocks in, plug-in blocks
// through, latency dropped, samples rounded to the output's width, file
// blocks out.
#pragma once

#include "render/AudioSink.h"
#include "render/SoundFiles.h"

#include <cstdint>

namespace glowrasp::host {
class Plugin;
}

namespace glowrasp::render {

struct Levels {
  double peak = 0.0;
  double sumOfSquares = 0.0;
  std::uint64_t samples = 0;

  void add(const float* samples, std::size_t count);
  // Integer samples left-aligned in 32 bits, full scale being 2^31.
  void add(const std::int32_t* samples, std::size_t count);
  double peakDbfs() const;
  double rmsDbfs() const;
};

double toDbfs(double linear);

struct RenderResult {
  sf_count_t frames = 0;
  Levels input;
  Levels output; // as written: after rounding and clipping
  std::uint64_t clipped = 0;
  double peakBeforeClipping = 0.0;
  double processSeconds = 0.0; // inside the plug-in's processReplacing only
};

struct RenderPlan {
  int block;
  int latency; // frames to drop at the start and flush at the end; 0 keeps the delay
  int bits;    // integer samples of this width; 0 writes floats
  bool dither;
  bool showProgress;
};

// Throws host::HostError on a file error or when a stop signal arrived.
// The plug-in must be resumed, with sample rate and block size set.
RenderResult renderFile(host::Plugin& plugin, SoundFile& in, AudioSink& out,
                        const RenderPlan& plan);

} // namespace glowrasp::render
