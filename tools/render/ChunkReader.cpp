#include "render/ChunkReader.h"

#include <algorithm>
#include <cstddef>

namespace glowrasp::render {
namespace {

// Enough that the plug-in has one chunk while the next ones are read.
constexpr int kChunksInFlight = 3;

} // namespace

ChunkReader::ChunkReader(SoundFile& file, sf_count_t chunkFrames, bool measureLevels)
    : FFile(file), FChannels(file.info().channels), FChunks(kChunksInFlight),
      FInterleaved(static_cast<std::size_t>(chunkFrames * FChannels)),
      FMeasureLevels(measureLevels) {
  for (InputChunk& chunk : FChunks) {
    for (auto& samples : chunk.channels)
      samples.resize(static_cast<std::size_t>(chunkFrames));
    FFree.push_back(&chunk);
  }
  FThread = std::thread([this] { run(); });
}

ChunkReader::~ChunkReader() {
  {
    const std::lock_guard lock(FMutex);
    FClosing = true;
  }
  FChanged.notify_all();
  FThread.join();
}

InputChunk& ChunkReader::next() {
  std::unique_lock lock(FMutex);
  FChanged.wait(lock, [this] { return !FReady.empty() || FFailure; });
  if (FFailure)
    std::rethrow_exception(FFailure);
  InputChunk* chunk = FReady.front();
  FReady.pop_front();
  return *chunk;
}

void ChunkReader::release(InputChunk& chunk) {
  {
    const std::lock_guard lock(FMutex);
    FFree.push_back(&chunk);
  }
  FChanged.notify_all();
}

void ChunkReader::run() {
  std::unique_lock lock(FMutex);
  for (;;) {
    FChanged.wait(lock, [this] { return !FFree.empty() || FClosing; });
    if (FClosing)
      return;
    InputChunk* chunk = FFree.front();
    FFree.pop_front();
    lock.unlock();
    try {
      read(*chunk);
    } catch (...) {
      lock.lock();
      FFailure = std::current_exception();
      FChanged.notify_all();
      return;
    }
    lock.lock();
    FReady.push_back(chunk);
    FChanged.notify_all();
    if (chunk->frames == 0)
      return;
  }
}

void ChunkReader::read(InputChunk& chunk) {
  const auto capacity = static_cast<sf_count_t>(chunk.channels[0].size());
  const sf_count_t count = FFile.read(FInterleaved.data(), capacity);
  chunk.frames = count;
  if (FMeasureLevels)
    FLevels.add(FInterleaved.data(), static_cast<std::size_t>(count * FChannels));
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

} // namespace glowrasp::render
