// Helpers for the tool tests: scratch folders, audio files through
// libsndfile, and running glowrasp-render as a child process.
#pragma once

#include <sndfile.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace glowrasp::testing {

class TempDir {
public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "glowrasp-tools-XXXXXX");
    if (!mkdtemp(pattern.data()))
      throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  std::string file(const std::string& name) const { return (path_ / name).string(); }
  const std::filesystem::path& path() const { return path_; }

  std::vector<std::string> names() const {
    std::vector<std::string> result;
    for (const auto& entry : std::filesystem::directory_iterator(path_))
      result.push_back(entry.path().filename().string());
    std::sort(result.begin(), result.end());
    return result;
  }

private:
  std::filesystem::path path_;
};

struct Audio {
  int channels = 2;
  int sampleRate = 44100;
  int format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  std::vector<float> samples; // interleaved

  sf_count_t frames() const { return static_cast<sf_count_t>(samples.size()) / channels; }
  float at(sf_count_t frame, int channel) const { return samples[frame * channels + channel]; }
};

inline Audio stereo(const std::vector<float>& left, const std::vector<float>& right,
                    int format = SF_FORMAT_WAV | SF_FORMAT_FLOAT) {
  Audio audio{2, 44100, format, {}};
  for (std::size_t i = 0; i < left.size(); ++i) {
    audio.samples.push_back(left[i]);
    audio.samples.push_back(right[i]);
  }
  return audio;
}

inline Audio mono(const std::vector<float>& x, int format = SF_FORMAT_WAV | SF_FORMAT_FLOAT) {
  return {1, 44100, format, x};
}

inline void writeAudio(const std::string& path, const Audio& audio) {
  SF_INFO info{};
  info.channels = audio.channels;
  info.samplerate = audio.sampleRate;
  info.format = audio.format;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!file)
    throw std::runtime_error("cannot write " + path + ": " + sf_strerror(nullptr));
  sf_writef_float(file, audio.samples.data(), audio.frames());
  sf_close(file);
}

inline Audio readAudio(const std::string& path) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (!file)
    throw std::runtime_error("cannot read " + path + ": " + sf_strerror(nullptr));
  Audio audio{info.channels, info.samplerate, info.format, {}};
  audio.samples.resize(static_cast<std::size_t>(info.frames) * info.channels);
  audio.samples.resize(sf_readf_float(file, audio.samples.data(), info.frames) * info.channels);
  sf_close(file);
  return audio;
}

// Integer samples exactly as stored, left-aligned in 32 bits (a 16-bit
// sample in the top 16 bits), interleaved.
inline std::vector<int> readIntegers(const std::string& path) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (!file)
    throw std::runtime_error("cannot read " + path + ": " + sf_strerror(nullptr));
  std::vector<int> samples(static_cast<std::size_t>(info.frames) * info.channels);
  samples.resize(sf_readf_int(file, samples.data(), info.frames) * info.channels);
  sf_close(file);
  return samples;
}

inline std::string readText(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

inline void writeText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// Noise with a level sweep and bursts above full scale, so that the
// plug-in's kernel choice varies from sample to sample.
inline std::vector<float> loudNoise(int frames, std::uint32_t seed) {
  std::vector<float> x(frames);
  for (int i = 0; i < frames; ++i) {
    seed = seed * 1664525u + 1013904223u;
    const float n = static_cast<float>(static_cast<std::int32_t>(seed >> 8) - (1 << 23)) * 0x1p-23f;
    x[i] = n * (0.1f + 0.5f * static_cast<float>(i % 700) / 700.0f) * (i % 450 < 20 ? 6.0f : 1.0f);
  }
  return x;
}

struct RunResult {
  int status = -1; // -1 when a signal ended the tool
  int signal = 0;  // the signal that ended it
  std::string out;
  std::string err;
};

inline void takeWaitStatus(int status, RunResult& result) {
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
}

// Starts glowrasp-render with the given arguments and file actions, through
// a launcher where one is given (nohup, prlimit, sh -c ... that ends in an
// exec of the rest). The signals a tool catches start at their defaults
// whatever the test ignores.
inline pid_t spawnRender(const std::vector<std::string>& args,
                         const posix_spawn_file_actions_t& actions,
                         const std::vector<std::string>& launcher = {}) {
  std::vector<std::string> argv = launcher;
  argv.push_back(GLOWRASP_RENDER_PATH);
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> pointers;
  for (auto& arg : argv)
    pointers.push_back(arg.data());
  pointers.push_back(nullptr);

  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE})
    sigaddset(&defaults, signal);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
  pid_t pid = 0;
  const int spawned =
      posix_spawnp(&pid, argv.front().c_str(), &actions, &attributes, pointers.data(), environ);
  posix_spawnattr_destroy(&attributes);
  if (spawned != 0)
    throw std::runtime_error("cannot start glowrasp-render");
  return pid;
}

// Runs glowrasp-render with the given arguments; its output goes through
// files in the scratch folder, which the caller's TempDir removes.
inline RunResult runRender(const TempDir& dir, const std::vector<std::string>& args,
                           const std::vector<std::string>& launcher = {}) {
  const std::string outPath = dir.file("render.stdout");
  const std::string errPath = dir.file("render.stderr");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  const pid_t pid = spawnRender(args, actions, launcher);
  posix_spawn_file_actions_destroy(&actions);

  RunResult result;
  int status = 0;
  waitpid(pid, &status, 0);
  takeWaitStatus(status, result);
  result.out = readText(outPath);
  result.err = readText(errPath);
  std::filesystem::remove(outPath);
  std::filesystem::remove(errPath);
  return result;
}

} // namespace glowrasp::testing
