// The file side of a render on one thread of its own: it reads, decodes and
// splits the input into channels ahead of the plug-in, and interleaves,
// rounds and writes what the plug-in made behind it. One thread for both
// leaves the plug-in's thread a processor to itself on a two-core machine.
#pragma once

#include "render/AudioSink.h"
#include "render/Levels.h"
#include "render/SoundFiles.h"

#include <array>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace glowrasp::render {

class Quantizer;

// Planar frames as the plug-in reads them; no frames at the end of the file.
struct InputChunk {
  std::array<std::vector<float>, 2> channels;
  sf_count_t frames = 0;
};

// Planar frames as the plug-in writes them; [from, to) goes to the file.
struct OutputChunk {
  std::array<std::vector<float>, 2> channels;
  sf_count_t from = 0;
  sf_count_t to = 0;
};

struct OutputFormat {
  int bits; // integer samples of this width, 0 for floats
  bool dither;
};

struct WrittenFigures {
  Levels levels; // as written: after rounding and clipping; where measured
  std::uint64_t clipped = 0;
  double peakBeforeClipping = 0.0;
};

class FileWorker {
public:
  // measureLevels: the levels of what is read and written are measured,
  // else left empty.
  FileWorker(SoundFile& in, AudioSink& out, sf_count_t chunkFrames, OutputFormat format,
             bool measureLevels);
  // Abandons what is still to be read or written.
  ~FileWorker();
  FileWorker(const FileWorker&) = delete;
  FileWorker& operator=(const FileWorker&) = delete;

  // The calls that wait rethrow the worker's failure, whichever side it met.
  // The next input chunk, once it is read; hand it back with release().
  InputChunk& next();
  void release(InputChunk& chunk);
  // An output chunk to fill, once one is free.
  OutputChunk& acquire();
  // Queues the acquired chunk's frames [from, to) for writing.
  void submit(OutputChunk& chunk, sf_count_t from, sf_count_t to);
  // Waits until everything queued is written.
  WrittenFigures finish();
  // What was read, where measured; only once next() gave the end.
  const Levels& inputLevels() const { return FInputLevels; }

private:
  // Waits for a chunk in the queue; rethrows the worker's failure.
  template <class Chunk>
  Chunk& take(std::deque<Chunk*>& queue);
  template <class Chunk>
  void hand(std::deque<Chunk*>& queue, Chunk& chunk);
  void run();
  void read(InputChunk& chunk);
  void write(const OutputChunk& chunk);
  void rethrowFailure() const;

  SoundFile& FIn;
  AudioSink& FOut;
  int FChannels;
  bool FMeasureLevels;
  std::vector<InputChunk> FInputs;
  std::vector<OutputChunk> FOutputs;
  std::vector<float> FInterleaved;
  std::unique_ptr<Quantizer> FQuantizer;
  std::vector<std::int32_t> FIntegers;
  std::uint64_t FSamplesWritten = 0; // where the next rounded sample lies in the file
  Levels FInputLevels;
  WrittenFigures FWritten;

  std::mutex FMutex;
  std::condition_variable FChanged;
  std::deque<InputChunk*> FFreeInputs;
  std::deque<InputChunk*> FReadInputs;
  std::deque<OutputChunk*> FFreeOutputs;
  std::deque<OutputChunk*> FQueuedOutputs;
  bool FInputEnded = false;
  bool FWriting = false;
  bool FClosing = false;
  std::exception_ptr FFailure;
  std::thread FThread;
};

} // namespace glowrasp::render
