// The output side of a render on a thread of its own: processed chunks are
// interleaved, rounded to the output's width and written there, while the
// plug-in runs on the next chunk.
#pragma once

#include "render/AudioSink.h"
#include "render/Levels.h"

#include <array>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace glowrasp::render {

class Quantizer;

// Planar frames as the plug-in writes them; [from, to) goes to the file.
struct OutputChunk {
  std::array<std::vector<float>, 2> channels;
  sf_count_t from = 0;
  sf_count_t to = 0;
};

struct WrittenFigures {
  Levels levels; // as written: after rounding and clipping; where measured
  std::uint64_t clipped = 0;
  double peakBeforeClipping = 0.0;
};

class ChunkWriter {
public:
  // bits: integer samples of this width, 0 for floats.
  // measureLevels: the figures' levels are measured, else left empty.
  ChunkWriter(AudioSink& sink, int channels, sf_count_t chunkFrames, int bits, bool dither,
              bool measureLevels);
  // Abandons what is still queued.
  ~ChunkWriter();
  ChunkWriter(const ChunkWriter&) = delete;
  ChunkWriter& operator=(const ChunkWriter&) = delete;

  // A chunk to fill, once one is free. Rethrows the writer's failure.
  OutputChunk& acquire();
  // Queues the acquired chunk's frames [from, to).
  void submit(OutputChunk& chunk, sf_count_t from, sf_count_t to);
  // Waits until everything queued is written. Rethrows the writer's failure.
  WrittenFigures finish();

private:
  void run();
  void write(const OutputChunk& chunk);
  void rethrowFailure();

  AudioSink& FSink;
  int FChannels;
  bool FMeasureLevels;
  std::vector<OutputChunk> FChunks;
  std::unique_ptr<Quantizer> FQuantizer;
  std::vector<float> FInterleaved;
  std::vector<std::int32_t> FIntegers;
  WrittenFigures FFigures;

  std::mutex FMutex;
  std::condition_variable FChanged;
  std::deque<OutputChunk*> FFree;
  std::deque<OutputChunk*> FQueued;
  bool FBusy = false;
  bool FClosing = false;
  std::exception_ptr FFailure;
  std::thread FThread;
};

} // namespace glowrasp::render
