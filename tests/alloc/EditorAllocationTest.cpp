// VST3 and CLAP processing with automation in every frame allocates nothing,
// formats no text and takes no lock while the editor is open in a real X
// server, on an audio thread that was started before the plug-in's library
// was loaded: a thread_local of a loaded library, or any editor work reached
// from a value change, would allocate there on its first use.
#include "AllocationCounter.h"
#include "ClapHost.h"
#include "Vst3Host.h"
#include "xhost/XSession.h"

#include <clap/ext/gui.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

namespace {

constexpr int kWidth = 402;
constexpr int kHeight = 250;
constexpr int kBlock = 512;
constexpr int kBlocks = 40;

// The host's audio thread: started first, it runs one job at a time.
class TAudioThread {
public:
  TAudioThread() : FThread([this] { Loop(); }) {}
  ~TAudioThread() {
    FState.store(kQuit);
    FThread.join();
  }
  TAudioThread(const TAudioThread&) = delete;
  TAudioThread& operator=(const TAudioThread&) = delete;

  template <class TJob>
  void Run(TJob& job) {
    FJob = [](void* context) { (*static_cast<TJob*>(context))(); };
    FContext = &job;
    FState.store(kWork);
    while (FState.load() == kWork)
      std::this_thread::yield();
  }

private:
  static constexpr int kIdle = 0;
  static constexpr int kWork = 1;
  static constexpr int kQuit = 2;

  void Loop() {
    for (;;) {
      const int state = FState.load();
      if (state == kQuit)
        return;
      if (state == kWork) {
        FJob(FContext);
        FState.store(kIdle);
      }
      std::this_thread::yield();
    }
  }

  std::atomic<int> FState{kIdle};
  void (*FJob)(void*) = nullptr;
  void* FContext = nullptr;
  std::thread FThread;
};

// Driven noise, and the outputs.
struct TSignal {
  std::vector<float> Left = std::vector<float>(kBlock);
  std::vector<float> Right = std::vector<float>(kBlock);
  std::vector<float> Out1 = std::vector<float>(kBlock);
  std::vector<float> Out2 = std::vector<float>(kBlock);
  TSignal() {
    for (int t = 0; t < kBlock; ++t) {
      Left[t] = static_cast<float>(t % 97) / 12.0f - 4.0f;
      Right[t] = static_cast<float>(t % 31) / 8.0f - 2.0f;
    }
  }
};

// Waits for the editor's window inside `parent`, running `pump` meanwhile.
template <class TPump>
bool EditorShown(TXSession& x, Window parent, TPump&& pump) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    pump();
    const std::vector<Window> children = x.Children(parent);
    if (children.size() == 1 && x.Viewable(children[0]))
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

void ExpectNothingCounted(const TCounting& count) {
  EXPECT_EQ(count.Allocations(), 0);
  EXPECT_EQ(count.Formats(), 0);
  EXPECT_EQ(count.Locks(), 0);
}

// A modulating host sends its amounts beside the values; the open editor
// polls them.
TEST(AudioThreadWithEditor, ClapAutomationAndModulationInEveryFrame) {
  TAudioThread audio;
  TXSession x;
  ASSERT_TRUE(x) << "no X display: run under tests/run-with-xvfb.sh";
  glowrasp::clap_test::TClapLibrary library(GLOWRASP_CLAP_PATH);
  glowrasp::clap_test::TClapHost host(library, "com.kestrune.glowrasp");
  ASSERT_TRUE(host.Activate(48000.0, 1, kBlock));
  ASSERT_TRUE(host.StartProcessing());
  const auto* gui = host.Extension<clap_plugin_gui_t>(CLAP_EXT_GUI);
  ASSERT_NE(gui, nullptr);
  const Window parent = x.CreateHostWindow(kWidth, kHeight);
  ASSERT_TRUE(gui->create(host.Plugin(), CLAP_WINDOW_API_X11, false));
  clap_window_t window{};
  window.api = CLAP_WINDOW_API_X11;
  window.x11 = parent;
  ASSERT_TRUE(gui->set_parent(host.Plugin(), &window));
  ASSERT_TRUE(gui->show(host.Plugin()));
  ASSERT_TRUE(EditorShown(x, parent, [&] { host.RunEventLoopOnce(); }));

  glowrasp::clap_test::TInputEvents events;
  for (int t = 0; t < kBlock; ++t) {
    events.AddParamValue(static_cast<std::uint32_t>(t), static_cast<clap_id>(t % 3),
                         t % 3 == 1 ? (t % 100) : (t % 97) / 2.0 - 24.0);
    events.AddParamMod(static_cast<std::uint32_t>(t), static_cast<clap_id>((t + 1) % 3),
                       (t % 41) - 20.0);
  }
  glowrasp::clap_test::TOutputEvents out;
  TSignal signal;
  float* inputs[2] = {signal.Left.data(), signal.Right.data()};
  float* outputs[2] = {signal.Out1.data(), signal.Out2.data()};
  clap_audio_buffer_t in{};
  in.data32 = inputs;
  in.channel_count = 2;
  clap_audio_buffer_t outBuffer{};
  outBuffer.data32 = outputs;
  outBuffer.channel_count = 2;
  clap_process_t process{};
  process.frames_count = kBlock;
  process.audio_inputs = &in;
  process.audio_outputs = &outBuffer;
  process.audio_inputs_count = 1;
  process.audio_outputs_count = 1;
  process.in_events = events.List();
  process.out_events = out.List();
  const clap_plugin_t* plugin = host.Plugin();
  auto blocks = [&] {
    host.OnAudioThread([&] {
      for (int block = 0; block < kBlocks; ++block)
        plugin->process(plugin, &process);
    });
  };
  TCounting count;
  audio.Run(blocks);
  count.Stop();
  ExpectNothingCounted(count);
  EXPECT_TRUE(out.Events.empty());
  gui->destroy(host.Plugin());
  x.DestroyWindow(parent);
}

TEST(AudioThreadWithEditor, Vst3AutomationInEveryFrame) {
  TAudioThread audio;
  TXSession x;
  ASSERT_TRUE(x) << "no X display: run under tests/run-with-xvfb.sh";
  vst3host::TModule module(GLOWRASP_VST3_BINARY);
  vst3host::THostApplication application;
  vst3host::TPluginInstance instance(module, application);
  ASSERT_TRUE(instance.Start(48000.0, kBlock));
  auto& controller = instance.Controller();
  vst3host::TRef<v3_plugin_view_cpp> view(reinterpret_cast<v3_plugin_view_cpp**>(
      controller->ctrl.create_view(controller.Get(), "editor")));
  ASSERT_TRUE(view);
  vst3host::TPlugFrame frame;
  const Window parent = x.CreateHostWindow(kWidth, kHeight);
  ASSERT_EQ(view->view.set_frame(view.Get(), frame.Frame()), V3_OK);
  ASSERT_EQ(view->view.attached(view.Get(),
                                reinterpret_cast<void*>(static_cast<std::uintptr_t>(parent)),
                                "X11EmbedWindowID"),
            V3_OK);
  ASSERT_TRUE(EditorShown(x, parent, [&] { frame.Pump(); }));

  vst3host::TParameterChanges changes;
  for (int t = 0; t < kBlock; ++t)
    changes.Add(static_cast<v3_param_id>(t % 3), t, (t % 101) / 100.0);
  TSignal signal;
  float* inputs[2] = {signal.Left.data(), signal.Right.data()};
  float* outputs[2] = {signal.Out1.data(), signal.Out2.data()};
  auto blocks = [&] {
    for (int block = 0; block < kBlocks; ++block)
      instance.Process(inputs, outputs, kBlock, changes.Changes());
  };
  TCounting count;
  audio.Run(blocks);
  count.Stop();
  ExpectNothingCounted(count);
  view->view.removed(view.Get());
  view.Reset();
  x.DestroyWindow(parent);
}

} // namespace
