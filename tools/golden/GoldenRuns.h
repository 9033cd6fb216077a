// Fixed runs of the plug-in whose output is stored bit for bit, so that any
// change in what the plug-in computes shows up. The generator writes the
// stored files; the golden test renders again and compares.
#pragma once

#include "hostlib/Parameters.h"

#include <memory>
#include <span>
#include <string>
#include <vector>

namespace glowrasp::host {
class PluginLibrary;
}

namespace glowrasp::golden {

inline constexpr int kFrames = 2048;
inline constexpr int kChannels = 2;
inline constexpr float kSampleRate = 44100.0f;
inline constexpr int kMaxBlock = 512;

enum class Route {
  Replacing,    // processReplacing, two distinct inputs
  Accumulating, // process, adding onto outputs that already hold a pattern
  Mono,         // processReplacing with one buffer as both inputs
};

struct GoldenCase {
  const char* name;
  Route route;
  host::Settings settings;
};

std::span<const GoldenCase> goldenCases();

// Irregular block lengths, a zero-length call among them, repeated until
// the input ends: the output must not depend on how the host slices the stream.
std::span<const int> goldenBlockCycle();

// What the outputs hold before the accumulating run adds onto them.
float goldenPriorOutput(int frame, int channel);

// Interleaved stereo noise with a level sweep and bursts far above full
// scale, so the driven magnitudes spread over the whole kernel table.
// Built from integer and float arithmetic only: identical on every machine.
std::vector<float> goldenInput();

// Interleaved stereo output of a fresh instance for one case.
std::vector<float> renderGolden(const std::shared_ptr<const host::PluginLibrary>& library,
                                const GoldenCase& goldenCase);

std::string goldenFileName(const GoldenCase& goldenCase);

// Raw little-endian 32-bit floats.
void writeFloats(const std::string& path, std::span<const float> values);
std::vector<float> readFloats(const std::string& path);

} // namespace glowrasp::golden
