#include "FuzzSession.h"

#include "GuardedBuffer.h"
#include "vst/EditorSnapshot.h"
#include "vst/MessageRecorder.h"

#include <algorithm>
#include <bit>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace {

constexpr VstInt32 kLastOpcode = 80;
constexpr std::size_t kMaxInstances = 4;
constexpr int kMaxFrames = 4096;
constexpr int kMaxChannels = 8;
// Longer than the processor remembers a sample (its delay ring and the
// bypass delay): from then on a non-finite input no longer shows.
constexpr std::int64_t kSettleFrames = 16;
constexpr std::size_t kMaxChunk = 1 << 20;
// Samples this large may overflow to infinity in plain arithmetic: a gain
// above one, a sum of a few, or the host's own accumulation. Ordinary input
// stays below it.
constexpr float kHugeSample = 1e30f;

// What the outputs of a ready instance hold before a replacing call: a NaN
// whose payload no input carries (Sample sees to that), so a sample that
// still holds it was never written.
constexpr std::uint32_t kUnwrittenBits = 0x7fc0a5a5;
constexpr std::uint32_t kNaNPayload = 0x003fffff;

// Every digit a float has, so that two that differ show it.
std::string Exact(float sample) {
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", static_cast<double>(sample));
  return text;
}

bool HasUnwrittenPayload(float sample) {
  const auto bits = std::bit_cast<std::uint32_t>(sample);
  return std::isnan(sample) && (bits & kNaNPayload) == (kUnwrittenBits & kNaNPayload);
}

constexpr VstInt32 kEditGetRect = 13;
constexpr VstInt32 kEditOpen = 14;
constexpr VstInt32 kEditClose = 15;
constexpr VstInt32 kEditDraw = 16;
constexpr VstInt32 kEditIdle = 19;
constexpr VstInt32 kGetChunk = 23;
constexpr VstInt32 kSetChunk = 24;
constexpr VstInt32 kString2Parameter = 27;
constexpr VstInt32 kSetBypass = 44;
constexpr VstInt32 kGetSpeakerArrangement = 69;

// What a dispatcher call carries in ptr (and, for the speaker arrangements,
// in value), as VST 2 defines it. Sizes are the buffers a host gives, so an
// answer longer than VST 2 allows lands in the guard zone.
enum class TPointer {
  Any,
  TextOut,
  StructOut,
  TextIn,
  Slot,
  Chunk,
  Events,
  Speakers,
  SpeakerSlots
};

struct TShape {
  TPointer Pointer;
  std::size_t Size;
};

TShape ShapeOf(VstInt32 opcode) {
  switch (opcode) {
  case 4: // effSetProgramName
    return {TPointer::TextIn, 24};
  case 5:  // effGetProgramName
  case 29: // effGetProgramNameIndexed
    return {TPointer::TextOut, 24};
  case 6: // effGetParamLabel
  case 7: // effGetParamDisplay
    return {TPointer::TextOut, 8};
  case 8: // effGetParamName: hosts give a name buffer, not the 8 bytes of a label
    return {TPointer::TextOut, 64};
  case kEditGetRect:
  case kGetChunk:
    return {TPointer::Slot, sizeof(void*)};
  case kSetChunk:
    return {TPointer::Chunk, 0};
  case 25: // effProcessEvents
    return {TPointer::Events, 0};
  case kString2Parameter:
  case 51: // effCanDo
    return {TPointer::TextIn, 0};
  case 33: // effGetInputProperties: VstPinProperties
  case 34: // effGetOutputProperties
    return {TPointer::StructOut, 128};
  case 42: // effSetSpeakerArrangement: two VstSpeakerArrangement of 8 speakers
    return {TPointer::Speakers, 8 + 8 * 112};
  case 45: // effGetEffectName
    return {TPointer::TextOut, 32};
  case 46: // effGetErrorText
    return {TPointer::TextOut, 256};
  case 47: // effGetVendorString
  case 48: // effGetProductString
  case 70: // effShellGetNextPlugin
    return {TPointer::TextOut, 64};
  case 56: // effGetParameterProperties: VstParameterProperties
    return {TPointer::StructOut, 152};
  case 62: // effGetMidiProgramName: MidiProgramName
  case 63: // effGetCurrentMidiProgram
  case 66: // effGetMidiKeyName: MidiKeyName
    return {TPointer::StructOut, 80};
  case 64: // effGetMidiProgramCategory: MidiProgramCategory
    return {TPointer::StructOut, 76};
  case kGetSpeakerArrangement:
    return {TPointer::SpeakerSlots, sizeof(void*)};
  default: // anything else: large enough for any VST 2 structure, all zero
    return {TPointer::Any, 512};
  }
}

template <class T>
T ReadAt(const void* address) {
  T value;
  std::memcpy(&value, address, sizeof value);
  return value;
}

// Reads every byte, so that the sanitizer sees an answer that points at less
// memory than it claims. The sum goes where the optimizer cannot drop it.
volatile std::uint32_t gTouched = 0;
void Touch(const void* data, std::size_t size) {
  std::uint32_t sum = 0;
  for (std::size_t i = 0; i < size; ++i)
    sum += static_cast<const std::uint8_t*>(data)[i];
  gTouched = sum;
}

VstIntPtr VSTCALLBACK HostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  return opcode == audioMasterVersion ? 2400 : 0;
}

// A host too old for the plug-in: it must refuse to be created.
VstIntPtr VSTCALLBACK AncientHostCallback(AEffect*, VstInt32, VstInt32, VstIntPtr, void*, float) {
  return 0;
}

std::uint64_t gMessages = 0;

// Float buffers for one processing call, each in its own guarded block.
class TChannels {
public:
  TChannels(int count, int frames) {
    for (int c = 0; c < count; ++c)
      FBuffers.emplace_back(static_cast<std::size_t>(frames) * sizeof(float));
  }
  float* At(int c) { return reinterpret_cast<float*>(FBuffers[c].Data()); }
  bool GuardsIntact() const {
    return std::all_of(FBuffers.begin(), FBuffers.end(),
                       [](const TGuardedBuffer& b) { return b.GuardsIntact(); });
  }

private:
  std::vector<TGuardedBuffer> FBuffers;
};

} // namespace

void VSTCALLBACK TFuzzSession::RecordMessage(const char* text) {
  ++gMessages;
  std::vector<std::string>& first = FirstMessages();
  if (first.size() < 5 && std::find(first.begin(), first.end(), text) == first.end())
    first.emplace_back(text);
}

std::vector<std::string>& TFuzzSession::FirstMessages() {
  static std::vector<std::string> messages;
  return messages;
}

TFuzzSession::TFuzzSession(VstPluginMainProc entry, std::uint64_t seed, TFuzzTotals& totals)
    : FEntry(entry), FRandom(seed), FTotals(totals) {}

TFuzzSession::~TFuzzSession() {
  while (!FInstances.empty())
    CloseInstance(FInstances.size() - 1);
  FTotals.Messages = gMessages;
}

bool TFuzzSession::Step() {
  // Instances come and go rarely: creating one builds the processor, which
  // costs more than a thousand other calls.
  if (FInstances.empty() || (FInstances.size() < kMaxInstances && FRandom.Below(1000) < 4)) {
    Create();
    return FViolation.Text.empty();
  }
  const std::size_t which = FRandom.Below(FInstances.size());
  TInstance& instance = FInstances[which];
  const auto action = FRandom.Below(1000);
  if (action < 400)
    Dispatch(which);
  else if (action < 700)
    Process(instance);
  else if (action < 800)
    Parameters(instance);
  else if (action < 920)
    Editor(instance);
  else if (action < 960)
    Start(instance);
  else if (action < 997)
    Call(instance, 12 /* effMainsChanged */, 0, FRandom.Pick<VstIntPtr>({0, 1}), nullptr, 0.0f);
  else
    CloseInstance(which);
  return FViolation.Text.empty();
}

void TFuzzSession::Create() {
  ++FCalls;
  ++FTotals.Calls;
  if (FRandom.Chance(3)) {
    const bool noCallback = FRandom.Chance(50);
    if (FEntry(noCallback ? nullptr : &AncientHostCallback))
      Fail(noCallback ? "main made an instance without a host callback"
                      : "main made an instance for a host that answers version 0");
    return;
  }
  AEffect* effect = FEntry(&HostCallback);
  if (!effect || effect->magic != 0x56737450)
    return Fail("main gave no effect record");
  ++FTotals.Instances;
  TInstance& instance = FInstances.emplace_back();
  instance.Effect = effect;
  // Installed again with every instance, so that a session replayed on its
  // own makes the same calls.
  if (Call(instance, effVendorSpecific, kMessageRecorderCode, kPrivateRequestKey,
           reinterpret_cast<void*>(&RecordMessage), 0.0f) != 1)
    return Fail("the message recorder was not installed");
  if (FRandom.Chance(80))
    Call(instance, effOpen, 0, 0, nullptr, 0.0f);
  if (FRandom.Chance(50))
    Start(instance);
}

void TFuzzSession::CloseInstance(std::size_t which) {
  TInstance& instance = FInstances[which];
  if (Call(instance, effClose, 0, 0, nullptr, 0.0f) != 1)
    Fail("effClose did not answer 1");
  FInstances.erase(FInstances.begin() + static_cast<std::ptrdiff_t>(which));
}

void TFuzzSession::Start(TInstance& instance) {
  const bool ordinaryRate = FRandom.Chance(90);
  const float rate =
      ordinaryRate ? FRandom.Pick({44100.0f, 48000.0f, 96000.0f, 22050.0f, 8000.0f, 192000.0f})
                   : ExtremeFloat();
  Call(instance, effSetSampleRate, 0, 0, nullptr, rate);
  instance.BlockSize = FRandom.Pick({32, 64, 256, 512, 1024, kMaxFrames});
  Call(instance, effSetBlockSize, 0, instance.BlockSize, nullptr, 0.0f);
  Call(instance, effMainsChanged, 0, 1, nullptr, 0.0f);
  // Earlier random calls may have made the processor already, with input of
  // their own in it: what it holds is known only from the next calls on.
  if (ordinaryRate && !instance.Ready) {
    instance.Ready = true;
    instance.KnownFrames = 0;
  }
}

void TFuzzSession::Dispatch(std::size_t which) {
  TInstance& instance = FInstances[which];
  VstInt32 opcode = FRandom.Chance(5)
                        ? FRandom.Pick<VstInt32>({-1, kLastOpcode + 1, 127, 4096, INT_MIN, INT_MAX})
                        : FRandom.Between(0, kLastOpcode);
  if (opcode == effClose) {
    if (FRandom.Chance(10))
      return CloseInstance(which);
    opcode = effOpen;
  }
  VstInt32 index = ExtremeIndex(instance);
  VstIntPtr value = ExtremeValue();
  const float opt = ExtremeFloat();
  if (opcode == effVendorSpecific && FRandom.Chance(40))
    index = FRandom.Pick({kMessageRecorderCode, kEditorSnapshotCode, kEditorPointerCode});

  const TShape shape = ShapeOf(opcode);
  const bool null = FRandom.Chance(10);
  switch (shape.Pointer) {
  case TPointer::Any:
  case TPointer::TextOut:
  case TPointer::StructOut: {
    TGuardedBuffer buffer(shape.Size);
    if (shape.Pointer == TPointer::Any)
      std::memset(buffer.Data(), 0, buffer.Size());
    // The editor opens offscreen only: a null parent.
    void* ptr = null || opcode == kEditOpen ? nullptr : buffer.Data();
    const VstIntPtr answer = Call(instance, opcode, index, value, ptr, opt);
    if (!buffer.GuardsIntact())
      return Fail("opcode " + std::to_string(opcode) + " wrote outside its " +
                  std::to_string(shape.Size) + "-byte buffer");
    if (shape.Pointer == TPointer::TextOut && buffer.Written() && !buffer.Terminated())
      return Fail("opcode " + std::to_string(opcode) + " left a text without its end in " +
                  std::to_string(shape.Size) + " bytes");
    if (opcode == kEditOpen && answer != 0) {
      instance.EditorOpen = true;
      ++FTotals.EditorOpens;
    }
    if (opcode == kEditClose)
      instance.EditorOpen = false;
    return;
  }
  case TPointer::TextIn: {
    const std::string text = Text();
    TGuardedBuffer buffer(text.size() + 1);
    std::memcpy(buffer.Data(), text.c_str(), text.size() + 1);
    Call(instance, opcode, index, value, null ? nullptr : buffer.Data(), opt);
    if (opcode == kString2Parameter)
      instance.AtDefaults = false;
    if (!buffer.GuardsIntact())
      return Fail("opcode " + std::to_string(opcode) + " wrote past the text it was given");
    return;
  }
  case TPointer::Slot: {
    TGuardedBuffer slot(shape.Size);
    std::memset(slot.Data(), 0, slot.Size());
    const VstIntPtr answer =
        Call(instance, opcode, index, value, null ? nullptr : slot.Data(), opt);
    if (!slot.GuardsIntact())
      return Fail("opcode " + std::to_string(opcode) + " wrote past its pointer slot");
    const auto* answered = ReadAt<const std::uint8_t*>(slot.Data());
    if (!answered)
      return;
    if (opcode == kEditGetRect)
      Touch(answered, sizeof(ERect));
    else if (answer > 0 && static_cast<std::size_t>(answer) <= kMaxChunk)
      instance.Chunk.assign(answered, answered + answer);
    return;
  }
  case TPointer::Chunk: {
    std::vector<std::uint8_t> data = instance.Chunk;
    if (data.empty() || FRandom.Chance(50)) {
      data.resize(FRandom.Below(512));
      for (std::uint8_t& byte : data)
        byte = static_cast<std::uint8_t>(FRandom.Next());
    }
    TGuardedBuffer buffer(data.size());
    std::copy(data.begin(), data.end(), buffer.Data());
    if (!null)
      value = static_cast<VstIntPtr>(data.size());
    Call(instance, opcode, index, value, null ? nullptr : buffer.Data(), opt);
    instance.AtDefaults = false;
    if (!buffer.GuardsIntact())
      return Fail("effSetChunk wrote past the chunk it was given");
    return;
  }
  case TPointer::Events: {
    // VstEvents with up to four MIDI events of 32 bytes each.
    const auto count = static_cast<VstInt32>(FRandom.Below(5));
    std::vector<std::uint8_t> events(32 * 4, 0);
    TGuardedBuffer list(2 * sizeof(void*) + 4 * sizeof(void*));
    std::memset(list.Data(), 0, list.Size());
    std::memcpy(list.Data(), &count, sizeof count);
    for (VstInt32 e = 0; e < count; ++e) {
      std::uint8_t* event = events.data() + 32 * e;
      const VstInt32 header[3] = {1, 24, FRandom.Between(-16, 4096)};
      std::memcpy(event, header, sizeof header);
      for (int b = 12; b < 32; ++b)
        event[b] = static_cast<std::uint8_t>(FRandom.Next());
      std::memcpy(list.Data() + 2 * sizeof(void*) + e * sizeof(void*), &event, sizeof event);
    }
    Call(instance, opcode, index, value, null ? nullptr : list.Data(), opt);
    if (!list.GuardsIntact())
      return Fail("effProcessEvents wrote past its event list");
    return;
  }
  case TPointer::Speakers: {
    TGuardedBuffer input(shape.Size), output(shape.Size);
    for (TGuardedBuffer* arrangement : {&input, &output}) {
      std::memset(arrangement->Data(), 0, arrangement->Size());
      const VstInt32 header[2] = {FRandom.Between(-2, 40), FRandom.Between(0, 8)};
      std::memcpy(arrangement->Data(), header, sizeof header);
    }
    value = null ? 0 : reinterpret_cast<VstIntPtr>(input.Data());
    Call(instance, opcode, index, value, null ? nullptr : output.Data(), opt);
    if (!input.GuardsIntact() || !output.GuardsIntact())
      return Fail("effSetSpeakerArrangement wrote past an arrangement");
    return;
  }
  case TPointer::SpeakerSlots: {
    TGuardedBuffer input(shape.Size), output(shape.Size);
    std::memset(input.Data(), 0, input.Size());
    std::memset(output.Data(), 0, output.Size());
    value = null ? 0 : reinterpret_cast<VstIntPtr>(input.Data());
    Call(instance, opcode, index, value, null ? nullptr : output.Data(), opt);
    if (!input.GuardsIntact() || !output.GuardsIntact())
      return Fail("effGetSpeakerArrangement wrote past its pointer slots");
    for (TGuardedBuffer* slot : {&input, &output})
      if (const auto* arrangement = ReadAt<const std::uint8_t*>(slot->Data())) {
        const auto channels = ReadAt<VstInt32>(arrangement + 4);
        if (channels < 0 || channels > 64)
          return Fail("effGetSpeakerArrangement answered " + std::to_string(channels) +
                      " channels");
        Touch(arrangement, 8 + static_cast<std::size_t>(channels) * 112);
      }
    return;
  }
  }
}

void TFuzzSession::Process(TInstance& instance) {
  const int inputs = std::clamp(instance.Effect->numInputs, 0, kMaxChannels);
  const int outputs = std::clamp(instance.Effect->numOutputs, 0, kMaxChannels);
  int frames;
  if (FRandom.Chance(10))
    frames = FRandom.Pick({0, -1, -4096, INT_MIN});
  else if (FRandom.Chance(50) && instance.BlockSize > 0)
    frames = std::min(instance.BlockSize, kMaxFrames);
  else
    frames = FRandom.Chance(50) ? FRandom.Between(1, 64) : FRandom.Between(1, kMaxFrames);
  const int capacity = std::max(frames, 1);
  const bool replacing = FRandom.Chance(70) || !instance.Effect->process;

  TChannels in(inputs, capacity), out(outputs, capacity);
  const int signal = FRandom.Between(0, 6);
  for (int c = 0; c < inputs; ++c)
    for (int i = 0; i < capacity; ++i)
      in.At(c)[i] = Sample(signal);
  // A ready instance must write every output: replacing calls find the
  // unwritten mark there, accumulating ones zero, so that what they end up
  // holding is the effect's output alone. Before, they must not touch it.
  const float unwritten = std::bit_cast<float>(kUnwrittenBits);
  for (int c = 0; c < outputs; ++c)
    for (int i = 0; i < capacity; ++i)
      out.At(c)[i] = !instance.Ready ? FRandom.Unit() : replacing ? unwritten : 0.0f;

  std::vector<float*> inPointers(kMaxChannels, nullptr), outPointers(kMaxChannels, nullptr);
  for (int c = 0; c < inputs; ++c)
    inPointers[c] = in.At(c);
  for (int c = 0; c < outputs; ++c)
    outPointers[c] = out.At(c);
  const auto layout = FRandom.Below(10);
  float** inArray = inPointers.data();
  float** outArray = outPointers.data();
  bool complete = frames > 0 && inputs > 0 && outputs > 0;
  bool inPlace = false;
  if (layout == 0) {
    inArray = nullptr;
    complete = false;
  } else if (layout == 1) {
    outArray = nullptr;
    complete = false;
  } else if (layout == 2 && inputs > 0) {
    inPointers[FRandom.Below(inputs)] = nullptr;
    complete = false;
  } else if (layout <= 4) { // in place
    for (int c = 0; c < std::min(inputs, outputs); ++c)
      outPointers[c] = inPointers[c];
    inPlace = true;
  } else if (layout <= 6 && inputs > 1) { // one buffer feeds every input
    for (int c = 1; c < inputs; ++c)
      inPointers[c] = inPointers[0];
  }

  // Which output frames must be finite: those after enough ordinary input.
  std::vector<bool> mustBeFinite(complete ? frames : 0);
  std::int64_t run = instance.CleanFrames;
  for (std::size_t i = 0; i < mustBeFinite.size(); ++i) {
    bool finite = true;
    for (int c = 0; c < inputs; ++c)
      finite = finite && std::fabs(inPointers[c][i]) < kHugeSample;
    run = finite ? run + 1 : 0;
    mustBeFinite[i] = run >= kSettleFrames;
  }
  // The input as it was: in place, the call overwrites it.
  std::array<std::vector<float>, 2> dry;
  if (complete && inputs >= 2 && outputs >= 2)
    for (int c = 0; c < 2; ++c)
      dry[c].assign(inPointers[c], inPointers[c] + frames);

  ++FCalls;
  ++FTotals.Calls;
  ++FTotals.ProcessCalls;
  FTotals.Frames += static_cast<std::uint64_t>(std::max(frames, 0));
  AEffectProcessProc proc =
      replacing ? instance.Effect->processReplacing : instance.Effect->process;
  if (!proc)
    return;
  proc(instance.Effect, inArray, outArray, frames);

  if (!in.GuardsIntact() || !out.GuardsIntact())
    return Fail("processing wrote outside the " + std::to_string(frames) + " frames it was given");
  if (!complete)
    return;
  instance.CleanFrames = run;
  const std::string call = replacing ? "processReplacing" : "process";
  const auto where = [&](int c, int i) {
    return " (channel " + std::to_string(c) + ", frame " + std::to_string(i) + " of " +
           std::to_string(frames) + ", signal " + std::to_string(signal) + ", layout " +
           std::to_string(layout) + ")";
  };
  if (instance.Ready && replacing && !inPlace)
    for (int c = 0; c < outputs; ++c)
      for (int i = 0; i < frames; ++i)
        if (HasUnwrittenPayload(outPointers[c][i]))
          return Fail(call + " left an output sample unwritten" + where(c, i));
  if (!instance.AtDefaults)
    return;
  for (int c = 0; c < outputs; ++c)
    for (int i = 0; i < frames; ++i)
      if (mustBeFinite[i] && !std::isfinite(outPointers[c][i]))
        return Fail(call + " gave a non-finite sample for finite input" + where(c, i));
  if (!instance.Ready || instance.BypassSwitched || dry[0].empty())
    return;
  const TRoute route = inPointers[0] == inPointers[1] ? TRoute::Mono : TRoute::Stereo;
  // Accumulating in place adds the effect to its own input: nothing to compare.
  const bool comparable = replacing || !inPlace;
  const TDelayMismatch mismatch = FollowDelay(instance, route, dry, outPointers.data(), comparable);
  if (mismatch.Channel >= 0)
    Fail(call + " gave " + Exact(outPointers[mismatch.Channel][mismatch.Frame]) +
         " at default settings where the input had " + Exact(mismatch.Expected) + " " +
         std::to_string(Delay) + " frames before, within full scale" +
         where(mismatch.Channel, mismatch.Frame));
}

// The processor holds the last Reach input frames of each channel. When none
// of the Reach + 1 frames whose kernels reach an output frame goes beyond full
// scale, each passes through the pure-delay kernel, and the output frame is
// the sample Delay frames back. That kernel's other taps are not quite zero
// but below kLeakingTap, so the output is that sample to the last bit wherever
// its neighbours' leak stays below half its rounding step, and off by no more
// than the leak and the roundings of the overlap-add elsewhere.
TFuzzSession::TDelayMismatch TFuzzSession::FollowDelay(TInstance& instance, TRoute route,
                                                       const std::array<std::vector<float>, 2>& dry,
                                                       float* const* outputs, bool comparable) {
  // The mono route keeps one channel's history only, so a change of route
  // leaves the other's unknown.
  if (route != instance.Route) {
    instance.Route = route;
    instance.KnownFrames = 0;
  }
  constexpr double kLeakingTap = 1e-16;
  const double smallestStep = std::numeric_limits<float>::denorm_min();
  const int frames = static_cast<int>(dry[0].size());
  TDelayMismatch mismatch;
  for (int c = 0; c < 2; ++c) {
    // Frame j of sequence is frame j - Reach of this call.
    std::vector<float> sequence(instance.History[c].begin(), instance.History[c].end());
    sequence.insert(sequence.end(), dry[c].begin(), dry[c].end());
    const auto withinFullScale = [&](int j) { return std::fabs(sequence[j]) <= 1.0f; };
    int lastBeyond = -1;
    for (int j = 0; j < Reach; ++j)
      if (!withinFullScale(j))
        lastBeyond = j;
    for (int i = 0; i < frames && comparable && mismatch.Channel < 0; ++i) {
      if (!withinFullScale(i + Reach))
        lastBeyond = i + Reach;
      if (lastBeyond >= i || i < Reach - instance.KnownFrames)
        continue;
      const double dryFrame = sequence[i + Delay];
      double neighbours = 0.0;
      for (int j = i; j <= i + Reach; ++j)
        neighbours += j == i + Delay ? 0.0 : std::fabs(sequence[j]);
      const double leak = kLeakingTap * neighbours;
      // Half the spacing of floats just below |dryFrame|, or of subnormals.
      const double halfStep = std::max(std::fabs(dryFrame) * 0x1p-26, smallestStep / 2);
      // Each of the Reach + 1 sums is rounded to float at its store.
      const double tolerance = leak < halfStep ? 0.0 : 64 * leak + 8 * smallestStep;
      if (!(std::fabs(outputs[c][i] - dryFrame) <= tolerance))
        mismatch = {c, i, sequence[i + Delay]};
    }
    std::copy(sequence.end() - Reach, sequence.end(), instance.History[c].begin());
  }
  instance.KnownFrames = std::min(Reach, instance.KnownFrames + frames);
  return mismatch;
}

void TFuzzSession::Parameters(TInstance& instance) {
  for (int n = FRandom.Between(1, 4); n > 0; --n) {
    const VstInt32 index = ExtremeIndex(instance);
    AEffect* effect = instance.Effect;
    if (FRandom.Chance(50)) {
      ++FCalls;
      ++FTotals.Calls;
      effect->setParameter(effect, index,
                           FRandom.Chance(50) ? FRandom.Unit() * 0.5f + 0.5f : ExtremeFloat());
      if (index >= 0 && index < effect->numParams)
        instance.AtDefaults = false;
    }
    ++FCalls;
    ++FTotals.Calls;
    const float value = effect->getParameter(effect, index);
    if (!(value >= 0.0f && value <= 1.0f))
      return Fail("getParameter(" + std::to_string(index) + ") answered " + std::to_string(value));
  }
}

void TFuzzSession::Editor(TInstance& instance) {
  switch (FRandom.Below(7)) {
  case 0:
  case 1: {
    // Mostly offscreen; now and then a parent window that does not exist,
    // which the plug-in reports in a message box.
    void* parent = FRandom.Chance(5) ? reinterpret_cast<void*>(std::uintptr_t{0x7fff}) : nullptr;
    if (Call(instance, kEditOpen, 0, 0, parent, 0.0f) != 0) {
      instance.EditorOpen = true;
      ++FTotals.EditorOpens;
    }
    return;
  }
  case 2:
    for (int n = FRandom.Between(1, 4); n > 0; --n)
      Call(instance, kEditIdle, 0, 0, nullptr, 0.0f);
    return;
  case 3:
    Call(instance, kEditClose, 0, 0, nullptr, 0.0f);
    instance.EditorOpen = false;
    return;
  case 4: {
    TGuardedBuffer rect(sizeof(ERect));
    std::memset(rect.Data(), 0, rect.Size());
    Call(instance, kEditDraw, 0, 0, FRandom.Chance(50) ? nullptr : rect.Data(), 0.0f);
    return;
  }
  default:
    return PrivateRequest(instance);
  }
}

// The plug-in's own requests for its editor's pixels and pointer input, with
// the key, as our tools send them.
void TFuzzSession::PrivateRequest(TInstance& instance) {
  ERect* rect = nullptr;
  Call(instance, kEditGetRect, 0, 0, &rect, 0.0f);
  const int width = rect ? rect->right - rect->left : 0;
  const int height = rect ? rect->bottom - rect->top : 0;
  if (FRandom.Chance(50)) {
    TEditorSnapshot snapshot{width, height, nullptr};
    if (FRandom.Chance(20))
      snapshot.Width += FRandom.Between(-2, 2);
    const std::size_t pixels = static_cast<std::size_t>(std::max(width, 0)) *
                               static_cast<std::size_t>(std::max(height, 0));
    TGuardedBuffer buffer(pixels * sizeof(std::uint32_t));
    if (!FRandom.Chance(10))
      snapshot.Pixels = reinterpret_cast<std::uint32_t*>(buffer.Data());
    Call(instance, effVendorSpecific, kEditorSnapshotCode, kPrivateRequestKey, &snapshot, 0.0f);
    if (!buffer.GuardsIntact())
      Fail("the editor snapshot wrote past the pixels it was given");
    return;
  }
  const bool wild = FRandom.Chance(20);
  TEditorPointer pointer{
      FRandom.Between(-1, 3), FRandom.Between(-1, 3), FRandom.Between(0, 127),
      wild ? static_cast<VstInt32>(FRandom.Next()) : FRandom.Between(-8, width + 8),
      wild ? static_cast<VstInt32>(FRandom.Next()) : FRandom.Between(-8, height + 8)};
  Call(instance, effVendorSpecific, kEditorPointerCode, kPrivateRequestKey, &pointer, 0.0f);
  instance.AtDefaults = false; // the pointer may have turned a knob
}

VstIntPtr TFuzzSession::Call(TInstance& instance, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                             void* ptr, float opt) {
  ++FCalls;
  ++FTotals.Calls;
  const VstIntPtr answer =
      instance.Effect->dispatcher(instance.Effect, opcode, index, value, ptr, opt);
  if (opcode == kSetBypass && value != 0)
    instance.BypassSwitched = true;
  // Suspending clears the processor: from then on it has heard silence.
  if (opcode == effMainsChanged && value == 0 && instance.Ready) {
    for (auto& channel : instance.History)
      channel.fill(0.0f);
    instance.KnownFrames = Reach;
  }
  return answer;
}

VstInt32 TFuzzSession::ExtremeIndex(const TInstance& instance) {
  const VstInt32 count = instance.Effect->numParams;
  switch (FRandom.Below(8)) {
  case 0:
  case 1:
  case 2:
    return FRandom.Between(0, std::max(count - 1, 0));
  case 3:
    return count;
  case 4:
    return FRandom.Pick<VstInt32>({-1, INT_MIN, INT_MAX, INT_MIN + 1});
  case 5:
    return static_cast<VstInt32>(FRandom.Next());
  default:
    return FRandom.Between(0, 8);
  }
}

VstIntPtr TFuzzSession::ExtremeValue() {
  // Wider than 32 bits where the pointer is; a 32-bit build keeps the low half.
  const auto wide = [](std::uint64_t bits) {
    return static_cast<VstIntPtr>(static_cast<std::uintptr_t>(bits));
  };
  switch (FRandom.Below(6)) {
  case 0:
    return FRandom.Pick<VstIntPtr>({0, 1, -1, 2});
  case 1:
    return FRandom.Pick({std::numeric_limits<VstIntPtr>::min(),
                         std::numeric_limits<VstIntPtr>::max(), wide(0x7fffffffULL),
                         wide(0x80000000ULL), wide(0x100000000ULL), wide(0xffffffff00000001ULL)});
  case 2:
    return wide(FRandom.Next());
  default:
    return FRandom.Between(-4, 4096);
  }
}

float TFuzzSession::ExtremeFloat() {
  switch (FRandom.Below(4)) {
  case 0:
    return FRandom.Pick({0.0f, -0.0f, 1.0f, -1.0f, 0.5f, 44100.0f});
  case 1:
    return FRandom.Pick(
        {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
         -std::numeric_limits<float>::infinity(), std::numeric_limits<float>::denorm_min(),
         FLT_MIN / 4, FLT_MAX, -FLT_MAX, 1e20f, -1e20f});
  case 2:
    return FRandom.Bits();
  default:
    return FRandom.Unit();
  }
}

// Signals: 0 silence, 1 ordinary, 2 loud, 3 subnormal, 4 ordinary with
// non-finite and huge samples strewn in, 5 huge, 6 any bit pattern.
float TFuzzSession::Sample(int signal) {
  switch (signal) {
  case 0:
    return 0.0f;
  case 1:
    return FRandom.Unit();
  case 2:
    return FRandom.Unit() * 1000.0f;
  case 3:
    return FRandom.Unit() * FLT_MIN;
  case 4:
    return FRandom.Chance(3)
               ? FRandom.Pick({std::numeric_limits<float>::quiet_NaN(),
                               std::numeric_limits<float>::infinity(),
                               -std::numeric_limits<float>::infinity(), FLT_MAX, -FLT_MAX})
               : FRandom.Unit();
  case 5:
    return FRandom.Unit() * FLT_MAX;
  default: {
    // Any bits but those of the unwritten mark, which no input may look like.
    const float sample = FRandom.Bits();
    return HasUnwrittenPayload(sample) ? std::numeric_limits<float>::quiet_NaN() : sample;
  }
  }
}

std::string TFuzzSession::Text() {
  std::string text;
  switch (FRandom.Below(4)) {
  case 0:
    return FRandom.Pick<const char*>({"",
                                      "0",
                                      "0.5",
                                      "-48",
                                      "48.0",
                                      "1e308",
                                      "nan",
                                      "inf",
                                      "-0",
                                      " 12,5 dB",
                                      "bypass",
                                      "receiveVstEvents",
                                      "receiveVstMidiEvent",
                                      "sendVstEvents",
                                      "plugAsChannelInsert",
                                      "plugAsSend",
                                      "mixDryWet",
                                      "1/2",
                                      "0x7fffffff",
                                      "-2147483649"});
  case 1: // printable, up to well past every VST 2 limit
    for (int n = FRandom.Between(1, 300); n > 0; --n)
      text += static_cast<char>(FRandom.Between(32, 126));
    return text;
  case 2: // digits, signs, separators
    for (int n = FRandom.Between(1, 40); n > 0; --n)
      text += FRandom.Pick({'0', '1', '5', '9', '-', '+', '.', ',', 'e', 'E', ' '});
    return text;
  default: // any bytes but zero
    for (int n = FRandom.Between(1, 100); n > 0; --n)
      text += static_cast<char>(FRandom.Between(1, 255));
    return text;
  }
}

void TFuzzSession::Fail(const std::string& what) {
  if (FViolation.Text.empty())
    FViolation = {what, FCalls};
}
