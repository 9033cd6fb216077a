// The processing loop of glowrasp-render: file blocks in, plug-in blocks
// through, latency dropped, samples rounded to the output's width, file
// blocks out.
#pragma once

#include "render/AudioSink.h"
#include "render/Levels.h"
#include "render/SoundFiles.h"

#include <cstdint>

namespace glowrasp::host {
class Plugin;
}

namespace glowrasp::render {

struct RenderResult {
  sf_count_t frames = 0;
  Levels input;  // only where the plan measures levels
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
  bool measureLevels; // peak and RMS of what is read and written
};

// Throws host::HostError on a file error or when a stop signal arrived.
// The plug-in must be resumed, with sample rate and block size set.
RenderResult renderFile(host::Plugin& plugin, SoundFile& in, AudioSink& out,
                        const RenderPlan& plan);

} // namespace glowrasp::render
