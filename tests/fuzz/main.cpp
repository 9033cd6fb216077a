// glowrasp-fuzz: drives the built plug-in through its exported main with
// random but host-plausible call sequences, one session per seed, until the
// time or the call budget is spent. A violated check or a crash names the
// seed; `--seed S --seeds 1` replays exactly that session.
// Exit status: 0 when every check held, 1 on a violated check (or a usage
// error); a crash ends the program with the last announced seed on stderr.
//
//   glowrasp-fuzz --plugin PATH [--seconds 60] [--calls N] [--seed 1] [--seeds N]
//                 [--session-calls 2000]
#include "FuzzSession.h"
#include "hostlib/PluginHost.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <string>

namespace {

struct TOptions {
  std::string Plugin;
  double Seconds = 60;
  std::uint64_t Calls = std::numeric_limits<std::uint64_t>::max();
  std::uint64_t Seed = 1;
  std::uint64_t Seeds = std::numeric_limits<std::uint64_t>::max();
  std::uint64_t SessionCalls = 2000;
};

[[noreturn]] void Usage(const char* problem) {
  std::fprintf(stderr,
               "glowrasp-fuzz: %s\nusage: glowrasp-fuzz --plugin PATH [--seconds S] [--calls N] "
               "[--seed S] [--seeds N] [--session-calls N]\n",
               problem);
  std::exit(1);
}

TOptions ParseOptions(int argc, char** argv) {
  TOptions options;
  for (int i = 1; i < argc; ++i) {
    const std::string name = argv[i];
    if (i + 1 >= argc)
      Usage(("missing value for " + name).c_str());
    const char* value = argv[++i];
    char* end = nullptr;
    const auto number = std::strtoull(value, &end, 10);
    const bool numeric = end != value && *end == '\0';
    if (name == "--plugin")
      options.Plugin = value;
    else if (name == "--seconds")
      options.Seconds = std::strtod(value, nullptr);
    else if (!numeric)
      Usage(("not a number: " + name + " " + value).c_str());
    else if (name == "--calls")
      options.Calls = number;
    else if (name == "--seed")
      options.Seed = number;
    else if (name == "--seeds")
      options.Seeds = number;
    else if (name == "--session-calls")
      options.SessionCalls = number;
    else
      Usage(("unknown option " + name).c_str());
  }
  if (options.Plugin.empty())
    Usage("no plug-in given");
  return options;
}

} // namespace

int main(int argc, char** argv) {
  const TOptions options = ParseOptions(argc, argv);

  std::unique_ptr<glowrasp::host::PluginLibrary> library;
  try {
    library = std::make_unique<glowrasp::host::PluginLibrary>(options.Plugin);
  } catch (const glowrasp::host::HostError& error) {
    std::fprintf(stderr, "glowrasp-fuzz: %s\n", error.what());
    return 1;
  }
  using TClock = std::chrono::steady_clock;
  const TClock::time_point start = TClock::now();
  const auto deadline = start + std::chrono::duration_cast<TClock::duration>(
                                    std::chrono::duration<double>(options.Seconds));
  const auto spent = [&](const TFuzzTotals& totals) {
    return totals.Calls >= options.Calls || TClock::now() >= deadline;
  };

  TFuzzTotals totals;
  std::uint64_t sessions = 0;
  // Each session announces its seed first, so that a crash, which ends the
  // program mid-session, names the seed that caused it.
  std::fprintf(stderr, "fuzz: one session replays with: %s --plugin %s --seed SEED --seeds 1\n",
               argv[0], options.Plugin.c_str());
  for (std::uint64_t seed = options.Seed; sessions < options.Seeds && !spent(totals);
       ++seed, ++sessions) {
    std::fprintf(stderr, "fuzz: seed %llu\n", static_cast<unsigned long long>(seed));
    std::fflush(stderr);
    TFuzzSession session(library->entry(), seed, totals);
    for (std::uint64_t step = 0; step < options.SessionCalls && !spent(totals); ++step)
      if (!session.Step()) {
        std::fprintf(stderr,
                     "fuzz: VIOLATION in the session of seed %llu, call %llu: %s\n"
                     "fuzz: reproduce with: %s --plugin %s --seed %llu --seeds 1\n",
                     static_cast<unsigned long long>(seed),
                     static_cast<unsigned long long>(session.Violation().Call),
                     session.Violation().Text.c_str(), argv[0], options.Plugin.c_str(),
                     static_cast<unsigned long long>(seed));
        return 1;
      }
  }

  const double seconds = std::chrono::duration<double>(TClock::now() - start).count();
  std::printf("fuzz: %llu calls in %llu sessions (seeds %llu to %llu) in %.1f s: %llu instances, "
              "%llu processing calls (%llu frames), %llu editor opens, %llu message boxes\n",
              static_cast<unsigned long long>(totals.Calls),
              static_cast<unsigned long long>(sessions),
              static_cast<unsigned long long>(options.Seed),
              static_cast<unsigned long long>(options.Seed + (sessions ? sessions - 1 : 0)),
              seconds, static_cast<unsigned long long>(totals.Instances),
              static_cast<unsigned long long>(totals.ProcessCalls),
              static_cast<unsigned long long>(totals.Frames),
              static_cast<unsigned long long>(totals.EditorOpens),
              static_cast<unsigned long long>(totals.Messages));
  for (const std::string& text : TFuzzSession::FirstMessages())
    std::printf("fuzz: message box: %s\n", text.c_str());
  return 0;
}
