// The host-facing effect object every VST 2 effect derives from, and the base
// of its editor object. The object embeds the AEffect record the host holds.
#pragma once

#include "vst/DAEffect.h"

#include <cstdint>
#include <memory>

class AudioEffect;

class AEffEditor {
public:
  explicit AEffEditor(AudioEffect* owner) : effect(owner) {}
  virtual ~AEffEditor() = default;
  AEffEditor(const AEffEditor&) = delete;
  AEffEditor& operator=(const AEffEditor&) = delete;

  virtual std::int32_t getRect(ERect** rect);
  virtual std::int32_t open(void* ptr);
  virtual void close() {}
  virtual void idle();
  virtual void update() {}
  virtual void postUpdate() { updateFlag = 1; }

protected:
  AudioEffect* effect;
  void* systemWindow = nullptr;
  std::int32_t updateFlag = 0;
};

class AudioEffect {
public:
  AudioEffect(audioMasterCallback master, std::int32_t programs, std::int32_t params);
  virtual ~AudioEffect();
  AudioEffect(const AudioEffect&) = delete;
  AudioEffect& operator=(const AudioEffect&) = delete;

  // Takes the editor object; it goes with this object.
  void setEditor(std::unique_ptr<AEffEditor> newEditor);
  AEffEditor* getEditor() const { return editor.get(); }
  AEffect* getAeffect() { return &cEffect; }
  // The effect object behind a record that main handed out, or null.
  static AudioEffect* FromRecord(AEffect* record);

  virtual void setSampleRate(float rate) { sampleRate = rate; }
  virtual void setBlockSize(std::int32_t size) { blockSize = size; }
  virtual void setParameter(std::int32_t, float) {}
  virtual float getParameter(std::int32_t) { return 0.0f; }
  virtual void setParameterAutomated(std::int32_t index, float value);
  virtual void process(float** inputs, float** outputs, std::int32_t sampleFrames) = 0;
  virtual void processReplacing(float**, float**, std::int32_t) {}
  virtual VstIntPtr dispatcher(std::int32_t opcode, std::int32_t index, VstIntPtr value, void* ptr,
                               float opt);
  virtual void open() {}
  virtual void close() {}
  virtual std::int32_t getProgram() { return curProgram; }
  virtual void setProgram(std::int32_t program) { curProgram = program; }
  virtual void setProgramName(const char*) {}
  virtual void getProgramName(char*) {}
  virtual void getParameterLabel(std::int32_t, char*) {}
  virtual void getParameterDisplay(std::int32_t, char*) {}
  virtual void getParameterName(std::int32_t, char*) {}
  virtual float getVu() { return 0.0f; }
  virtual std::int32_t getChunk(void**, bool) { return 0; }
  virtual std::int32_t setChunk(void*, std::int32_t, bool) { return 0; }
  virtual void suspend() {}
  virtual void resume() {}
  virtual void setUniqueID(std::int32_t id) { cEffect.uniqueID = id; }
  virtual void setNumInputs(std::int32_t count) { cEffect.numInputs = count; }
  virtual void setNumOutputs(std::int32_t count) { cEffect.numOutputs = count; }
  virtual void hasVu(bool state) { setFlag(effFlagsHasVu, state); }
  virtual void hasClip(bool state) { setFlag(effFlagsHasClip, state); }
  virtual void canMono(bool state) { setFlag(effFlagsCanMono, state); }
  virtual void canProcessReplacing(bool state) { setFlag(effFlagsCanReplacing, state); }
  virtual void programsAreChunks(bool state) { setFlag(effFlagsProgramChunks, state); }
  virtual void setRealtimeQualities(std::int32_t quality) { cEffect.realQualities = quality; }
  virtual void setOfflineQualities(std::int32_t quality) { cEffect.offQualities = quality; }
  virtual void setInitialDelay(std::int32_t delay) { cEffect.initialDelay = delay; }
  virtual std::int32_t getMasterVersion();
  virtual std::int32_t getCurrentUniqueId();
  virtual void masterIdle();
  virtual bool isInputConnected(std::int32_t input);
  virtual bool isOutputConnected(std::int32_t output);
  // Requests outside the first level that this plug-in answers; 0 for the rest.
  virtual VstIntPtr vendorSpecific(std::int32_t, VstIntPtr, void*, float) { return 0; }

protected:
  AEffect cEffect;
  float sampleRate = 44100.0f;
  std::unique_ptr<AEffEditor> editor;
  std::int32_t numPrograms;
  std::int32_t numParams;
  std::int32_t curProgram = 0;
  std::int32_t blockSize = 1024;
  audioMasterCallback audioMaster;

  VstIntPtr callHost(std::int32_t opcode, std::int32_t index, VstIntPtr value, float opt) {
    return audioMaster ? audioMaster(&cEffect, opcode, index, value, nullptr, opt) : 0;
  }

private:
  void setFlag(std::int32_t flag, bool state) {
    cEffect.flags = state ? (cEffect.flags | flag) : (cEffect.flags & ~flag);
  }
};
