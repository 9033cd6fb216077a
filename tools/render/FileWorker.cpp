#include "render/FileWorker.h"

#include "common/StopSignals.h"
#include "hostlib/PluginHost.h"
#include "render/Quantizer.h"

#include <algorithm>
#include <cstddef>

namespace glowrasp::render {
namespace {

// Enough that the worker and the plug-in each have a chunk of either kind
// in hand, with one more read ahead.
constexpr int kChunksInFlight = 3;

template <class Chunk>
void sizeChunks(std::vector<Chunk>& chunks, sf_count_t frames, std::deque<Chunk*>& free) {
  for (Chunk& chunk : chunks) {
    for (auto& samples : chunk.channels)
      samples.resize(static_cast<std::size_t>(frames));
    free.push_back(&chunk);
  }
}

} // namespace

FileWorker::FileWorker(SoundFile& in, AudioSink& out, sf_count_t chunkFrames, OutputFormat format,
                       bool measureLevels)
    : FIn(in), FOut(out), FChannels(in.info().channels), FMeasureLevels(measureLevels),
      FInputs(kChunksInFlight), FOutputs(kChunksInFlight),
      FInterleaved(static_cast<std::size_t>(chunkFrames * FChannels)) {
  if (format.bits > 0) {
    FQuantizer = std::make_unique<Quantizer>(format.bits, format.dither);
    FIntegers.resize(FInterleaved.size());
  }
  sizeChunks(FInputs, chunkFrames, FFreeInputs);
  sizeChunks(FOutputs, chunkFrames, FFreeOutputs);
  FThread = std::thread([this] { run(); });
}

FileWorker::~FileWorker() {
  {
    const std::lock_guard lock(FMutex);
    FClosing = true;
  }
  FChanged.notify_all();
  FThread.join();
}

template <class Chunk>
Chunk& FileWorker::take(std::deque<Chunk*>& queue) {
  std::unique_lock lock(FMutex);
  FChanged.wait(lock, [&] { return !queue.empty() || FFailure; });
  rethrowFailure();
  Chunk* chunk = queue.front();
  queue.pop_front();
  return *chunk;
}

template <class Chunk>
void FileWorker::hand(std::deque<Chunk*>& queue, Chunk& chunk) {
  {
    const std::lock_guard lock(FMutex);
    queue.push_back(&chunk);
  }
  FChanged.notify_all();
}

InputChunk& FileWorker::next() {
  return take(FReadInputs);
}

void FileWorker::release(InputChunk& chunk) {
  hand(FFreeInputs, chunk);
}

OutputChunk& FileWorker::acquire() {
  return take(FFreeOutputs);
}

void FileWorker::submit(OutputChunk& chunk, sf_count_t from, sf_count_t to) {
  chunk.from = from;
  chunk.to = to;
  hand(FQueuedOutputs, chunk);
}

WrittenFigures FileWorker::finish() {
  std::unique_lock lock(FMutex);
  FChanged.wait(lock, [this] { return (FQueuedOutputs.empty() && !FWriting) || FFailure; });
  rethrowFailure();
  WrittenFigures figures = FWritten;
  if (FQuantizer) {
    figures.clipped = FQuantizer->clipped();
    figures.peakBeforeClipping = FQuantizer->peakBeforeClipping();
  }
  return figures;
}

void FileWorker::rethrowFailure() const {
  if (FFailure)
    std::rethrow_exception(FFailure);
}

void FileWorker::run() {
  std::unique_lock lock(FMutex);
  for (;;) {
    FChanged.wait(lock, [this] {
      return FClosing || FFailure || !FQueuedOutputs.empty() ||
             (!FInputEnded && !FFreeInputs.empty());
    });
    if (FClosing || FFailure)
      return;
    try {
      // A stop leaves the rest unread and unwritten.
      if (tools::stopRequested())
        throw host::HostError("interrupted");
      // Writing first: it frees a chunk the plug-in may be waiting for.
      if (!FQueuedOutputs.empty()) {
        OutputChunk* chunk = FQueuedOutputs.front();
        FQueuedOutputs.pop_front();
        FWriting = true;
        lock.unlock();
        write(*chunk);
        lock.lock();
        FWriting = false;
        FFreeOutputs.push_back(chunk);
      } else {
        InputChunk* chunk = FFreeInputs.front();
        FFreeInputs.pop_front();
        lock.unlock();
        read(*chunk);
        lock.lock();
        FReadInputs.push_back(chunk);
        FInputEnded = chunk->frames == 0;
      }
    } catch (...) {
      if (!lock.owns_lock())
        lock.lock();
      FFailure = std::current_exception();
      FWriting = false;
    }
    FChanged.notify_all();
  }
}

void FileWorker::read(InputChunk& chunk) {
  const auto capacity = static_cast<sf_count_t>(chunk.channels[0].size());
  const sf_count_t count = FIn.read(FInterleaved.data(), capacity);
  chunk.frames = count;
  if (FMeasureLevels)
    FInputLevels.add(FInterleaved.data(), static_cast<std::size_t>(count * FChannels));
  if (FChannels == 1) {
    std::copy_n(FInterleaved.begin(), count, chunk.channels[0].begin());
    return;
  }
  const float* frames = FInterleaved.data();
  float* left = chunk.channels[0].data();
  float* right = chunk.channels[1].data();
  for (sf_count_t i = 0; i < count; ++i) {
    left[i] = frames[2 * i];
    right[i] = frames[2 * i + 1];
  }
}

void FileWorker::write(const OutputChunk& chunk) {
  const sf_count_t frames = chunk.to - chunk.from;
  if (frames <= 0)
    return;
  const auto samples = static_cast<std::size_t>(frames * FChannels);
  for (int c = 0; c < FChannels; ++c) {
    const float* source = chunk.channels[c].data() + chunk.from;
    for (sf_count_t i = 0; i < frames; ++i)
      FInterleaved[i * FChannels + c] = source[i];
  }
  Levels* const levels = FMeasureLevels ? &FWritten.levels : nullptr;
  if (!FQuantizer) {
    if (levels)
      levels->add(FInterleaved.data(), samples);
    FOut.writeFloat(FInterleaved.data(), frames);
    return;
  }
  FQuantizer->convert(FInterleaved.data(), FIntegers.data(), samples, FSamplesWritten, levels);
  FOut.writeInt(FIntegers.data(), frames);
  FSamplesWritten += samples;
}

} // namespace glowrasp::render
