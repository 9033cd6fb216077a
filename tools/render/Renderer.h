// The processing loop of glowrasp-render: file blocks in, plug-in blocks
// through, latency dropped, file blocks out.
#pragma once

#include "render/SoundFiles.h"

#include <atomic>
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
  double peakDbfs() const;
  double rmsDbfs() const;
};

struct RenderResult {
  sf_count_t frames = 0;
  Levels input;
  Levels output;
  double processSeconds = 0.0; // inside the plug-in's processReplacing only
};

struct RenderPlan {
  int block;
  int latency; // frames to drop at the start and flush at the end; 0 keeps the delay
  bool showProgress;
};

// Throws host::HostError on a file error or when interrupted is raised.
// The plug-in must be resumed, with sample rate and block size set.
RenderResult renderFile(host::Plugin& plugin, SoundFile& in, SoundFile& out, const RenderPlan& plan,
                        const std::atomic<bool>& interrupted);

} // namespace glowrasp::render
