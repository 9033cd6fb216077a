#include "render/ChunkWriter.h"

#include "render/Quantizer.h"

#include <cstddef>

namespace glowrasp::render {
namespace {

// Enough that reading, the plug-in and writing each have a chunk in hand.
constexpr int kChunksInFlight = 3;

} // namespace

ChunkWriter::ChunkWriter(AudioSink& sink, int channels, sf_count_t chunkFrames, int bits,
                         bool dither, bool measureLevels)
    : FSink(sink), FChannels(channels), FMeasureLevels(measureLevels), FChunks(kChunksInFlight),
      FInterleaved(static_cast<std::size_t>(chunkFrames * channels)) {
  if (bits > 0) {
    FQuantizer = std::make_unique<Quantizer>(bits, dither);
    FIntegers.resize(FInterleaved.size());
  }
  for (OutputChunk& chunk : FChunks) {
    for (auto& samples : chunk.channels)
      samples.resize(static_cast<std::size_t>(chunkFrames));
    FFree.push_back(&chunk);
  }
  FThread = std::thread([this] { run(); });
}

ChunkWriter::~ChunkWriter() {
  {
    const std::lock_guard lock(FMutex);
    FClosing = true;
    FQueued.clear();
  }
  FChanged.notify_all();
  FThread.join();
}

OutputChunk& ChunkWriter::acquire() {
  std::unique_lock lock(FMutex);
  FChanged.wait(lock, [this] { return !FFree.empty() || FFailure; });
  rethrowFailure();
  OutputChunk* chunk = FFree.front();
  FFree.pop_front();
  return *chunk;
}

void ChunkWriter::submit(OutputChunk& chunk, sf_count_t from, sf_count_t to) {
  chunk.from = from;
  chunk.to = to;
  {
    const std::lock_guard lock(FMutex);
    FQueued.push_back(&chunk);
  }
  FChanged.notify_all();
}

WrittenFigures ChunkWriter::finish() {
  std::unique_lock lock(FMutex);
  FChanged.wait(lock, [this] { return (FQueued.empty() && !FBusy) || FFailure; });
  rethrowFailure();
  WrittenFigures figures = FFigures;
  if (FQuantizer) {
    figures.clipped = FQuantizer->clipped();
    figures.peakBeforeClipping = FQuantizer->peakBeforeClipping();
  }
  return figures;
}

void ChunkWriter::rethrowFailure() {
  if (FFailure)
    std::rethrow_exception(FFailure);
}

void ChunkWriter::run() {
  std::unique_lock lock(FMutex);
  for (;;) {
    FChanged.wait(lock, [this] { return !FQueued.empty() || FClosing; });
    if (FQueued.empty())
      return;
    OutputChunk* chunk = FQueued.front();
    FQueued.pop_front();
    FBusy = true;
    lock.unlock();
    try {
      write(*chunk);
    } catch (...) {
      lock.lock();
      FFailure = std::current_exception();
      FBusy = false;
      FChanged.notify_all();
      return;
    }
    lock.lock();
    FBusy = false;
    FFree.push_back(chunk);
    FChanged.notify_all();
  }
}

void ChunkWriter::write(const OutputChunk& chunk) {
  const sf_count_t frames = chunk.to - chunk.from;
  if (frames <= 0)
    return;
  const auto samples = static_cast<std::size_t>(frames * FChannels);
  for (int c = 0; c < FChannels; ++c) {
    const float* source = chunk.channels[c].data() + chunk.from;
    for (sf_count_t i = 0; i < frames; ++i)
      FInterleaved[i * FChannels + c] = source[i];
  }
  Levels* const levels = FMeasureLevels ? &FFigures.levels : nullptr;
  if (!FQuantizer) {
    if (levels)
      levels->add(FInterleaved.data(), samples);
    FSink.writeFloat(FInterleaved.data(), frames);
    return;
  }
  FQuantizer->convert(FInterleaved.data(), FIntegers.data(), samples, levels);
  FSink.writeInt(FIntegers.data(), frames);
}

} // namespace glowrasp::render
