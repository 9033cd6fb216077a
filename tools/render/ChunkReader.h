// The input side of a render on a thread of its own: the file is decoded,
// measured and split into channels ahead of the plug-in.
#pragma once

#include "render/Levels.h"
#include "render/SoundFiles.h"

#include <array>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace glowrasp::render {

// Planar frames as the plug-in reads them; no frames at the end of the file.
struct InputChunk {
  std::array<std::vector<float>, 2> channels;
  sf_count_t frames = 0;
};

class ChunkReader {
public:
  ChunkReader(SoundFile& file, sf_count_t chunkFrames, bool measureLevels);
  // Abandons what is still to be read.
  ~ChunkReader();
  ChunkReader(const ChunkReader&) = delete;
  ChunkReader& operator=(const ChunkReader&) = delete;

  // The next chunk, once it is read; hand it back with release().
  // Rethrows the reader's failure.
  InputChunk& next();
  void release(InputChunk& chunk);
  // What was read, where measured; only once next() gave the end.
  const Levels& levels() const { return FLevels; }

private:
  void run();
  void read(InputChunk& chunk);

  SoundFile& FFile;
  int FChannels;
  std::vector<InputChunk> FChunks;
  std::vector<float> FInterleaved;
  bool FMeasureLevels;
  Levels FLevels;

  std::mutex FMutex;
  std::condition_variable FChanged;
  std::deque<InputChunk*> FFree;
  std::deque<InputChunk*> FReady;
  bool FClosing = false;
  std::exception_ptr FFailure;
  std::thread FThread;
};

} // namespace glowrasp::render
