// glowrasp-demo-loop: synthesises the demo loop, two bars of drums with
// sharp transients over a bass line and a pad, 44.1 kHz stereo. The same
// file comes out on every run.
#include <sndfile.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <string_view>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr double kStepSeconds = 0.125; // sixteenth notes at 120 BPM
constexpr int kSteps = 32;             // two bars
constexpr int kFrames = static_cast<int>(kSteps * kStepSeconds * kRate);
constexpr double kPeak = 0.9; // headroom below full scale for the clean setting
constexpr double kTwoPi = 2.0 * std::numbers::pi;

constexpr std::string_view kKick = "x.....x.x.......x.....x.x..x....";
constexpr std::string_view kSnare = "....x.......x.......x.......x..x";
constexpr std::string_view kHat = "x.x.x.x.x.x.x.o.x.x.x.x.x.x.x.o.";
// MIDI note per eighth note; 0 rests.
constexpr std::array<int, 16> kBass{33, 0, 33, 45, 36, 0, 36, 31, 33, 0, 33, 45, 28, 31, 33, 0};
constexpr std::array kPadNotes{57, 60, 64, 67};

double midiToHz(int note) {
  return 440.0 * std::pow(2.0, (note - 69) / 12.0);
}

class Noise {
public:
  double next() {
    FState = FState * 1664525u + 1013904223u;
    return static_cast<double>(FState >> 8) / (1 << 23) - 1.0;
  }

private:
  std::uint32_t FState = 0x5eed1234u;
};

struct Stereo {
  std::vector<double> left = std::vector<double>(kFrames);
  std::vector<double> right = std::vector<double>(kFrames);

  void add(int frame, double value, double panLeft, double panRight) {
    if (frame < 0 || frame >= kFrames)
      return;
    left[frame] += value * panLeft;
    right[frame] += value * panRight;
  }
};

int stepFrame(int step) {
  return static_cast<int>(step * kStepSeconds * kRate);
}

void kick(Stereo& mix, int start, Noise& noise) {
  double phase = 0.0;
  for (int i = 0; i < kRate / 2; ++i) {
    const double t = static_cast<double>(i) / kRate;
    phase += kTwoPi * (48.0 + 130.0 * std::exp(-t * 35.0)) / kRate;
    double value = std::sin(phase) * std::exp(-t * 7.0);
    if (t < 0.003)
      value += noise.next() * 0.4 * (1.0 - t / 0.003);
    mix.add(start + i, value, 1.0, 1.0);
  }
}

void snare(Stereo& mix, int start, Noise& noise) {
  double previous = 0.0;
  for (int i = 0; i < kRate / 3; ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double n = noise.next();
    const double bright = n - previous; // first difference: a cheap high-pass
    previous = n;
    const double value = std::sin(kTwoPi * 185.0 * t) * std::exp(-t * 25.0) * 0.45 +
                         bright * std::exp(-t * 16.0) * 0.35;
    mix.add(start + i, value, 1.0, 0.8);
  }
}

void hat(Stereo& mix, int start, bool open, Noise& noise) {
  const double decay = open ? 9.0 : 70.0;
  const int length = open ? kRate * 3 / 10 : kRate / 15;
  double previous = 0.0;
  for (int i = 0; i < length; ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double n = noise.next();
    mix.add(start + i, (n - previous) * std::exp(-t * decay) * 0.12, 0.7, 1.0);
    previous = n;
  }
}

void bassNote(Stereo& mix, int start, int length, int note) {
  const double hz = midiToHz(note);
  double phase = 0.0;
  double filtered = 0.0;
  for (int i = 0; i < length; ++i) {
    const double t = static_cast<double>(i) / kRate;
    phase = std::fmod(phase + hz / kRate, 1.0);
    const double saw = 2.0 * phase - 1.0;
    // The filter opens at the attack and closes as the note rings.
    const double cutoff = 180.0 + 1400.0 * std::exp(-t * 18.0);
    filtered += (1.0 - std::exp(-kTwoPi * cutoff / kRate)) * (saw - filtered);
    const double attack = std::min(1.0, t / 0.004);
    const double release = std::min(1.0, static_cast<double>(length - i) / (0.01 * kRate));
    mix.add(start + i, filtered * attack * release * 0.5, 1.0, 1.0);
  }
}

void pad(Stereo& mix) {
  for (int i = 0; i < kFrames; ++i) {
    const double t = static_cast<double>(i) / kRate;
    double left = 0.0;
    double right = 0.0;
    for (const int note : kPadNotes) {
      const double hz = midiToHz(note);
      left += std::sin(kTwoPi * hz * 0.997 * t) + 0.3 * std::sin(kTwoPi * 2.0 * hz * t);
      right += std::sin(kTwoPi * hz * 1.003 * t) + 0.3 * std::sin(kTwoPi * 2.0 * hz * t + 1.0);
    }
    const double swell = 0.75 + 0.25 * std::sin(kTwoPi * 0.5 * t);
    const double fade = std::min({1.0, t / 0.05, (kFrames - i) / (0.05 * kRate)});
    mix.add(i, left * 0.035 * swell * fade, 1.0, 0.0);
    mix.add(i, right * 0.035 * swell * fade, 0.0, 1.0);
  }
}

Stereo synthesise() {
  Stereo mix;
  Noise noise;
  pad(mix);
  for (int step = 0; step < kSteps; ++step) {
    if (kKick[step] == 'x')
      kick(mix, stepFrame(step), noise);
    if (kSnare[step] == 'x')
      snare(mix, stepFrame(step), noise);
    if (kHat[step] != '.')
      hat(mix, stepFrame(step), kHat[step] == 'o', noise);
  }
  for (std::size_t eighth = 0; eighth < kBass.size(); ++eighth)
    if (kBass[eighth] != 0)
      bassNote(mix, stepFrame(2 * eighth), stepFrame(2) - kRate / 100, kBass[eighth]);
  return mix;
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: glowrasp-demo-loop OUT.wav\n");
    return 2;
  }
  const Stereo mix = synthesise();
  double peak = 0.0;
  for (int i = 0; i < kFrames; ++i)
    peak = std::max({peak, std::abs(mix.left[i]), std::abs(mix.right[i])});
  const double scale = kPeak / peak;
  std::vector<float> frames;
  frames.reserve(2 * kFrames);
  for (int i = 0; i < kFrames; ++i) {
    frames.push_back(static_cast<float>(mix.left[i] * scale));
    frames.push_back(static_cast<float>(mix.right[i] * scale));
  }

  SF_INFO info{};
  info.samplerate = kRate;
  info.channels = 2;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_24;
  SNDFILE* file = sf_open(argv[1], SFM_WRITE, &info);
  if (!file) {
    std::fprintf(stderr, "glowrasp-demo-loop: cannot write '%s': %s\n", argv[1],
                 sf_strerror(nullptr));
    return EXIT_FAILURE;
  }
  const bool written = sf_writef_float(file, frames.data(), kFrames) == kFrames;
  if (sf_close(file) != 0 || !written) {
    std::fprintf(stderr, "glowrasp-demo-loop: cannot write '%s'\n", argv[1]);
    return EXIT_FAILURE;
  }
  return EXIT_SUCCESS;
}
