// The bundle's identities and its ports: the one description from which the
// build writes the Turtle files and both binaries take their port numbers,
// ranges and parameter bindings.
#pragma once

#include "params/ParameterTable.h"

#include <array>
#include <cstdint>
#include <string_view>

inline constexpr const char* kLV2PluginUri = "urn:kestrune:glowrasp";
inline constexpr const char* kLV2UIUri = "urn:kestrune:glowrasp:ui";
inline constexpr const char* kLV2DspBinary = "KestruneGlowrasp_dsp.so";
inline constexpr const char* kLV2UIBinary = "KestruneGlowrasp_ui.so";

enum TLV2Port : std::uint32_t {
  lpInL,
  lpInR,
  lpOutL,
  lpOutR,
  lpGain,
  lpIntensity,
  lpOutGain,
  lpLatency,
  lpEnabled,
  lpCount
};

enum TLV2PortKind { pkAudioIn, pkAudioOut, pkControlIn, pkControlOut };

// What a control port stands for beyond its value.
enum TLV2PortRole { prAudio, prParameter, prLatency, prEnabled };

struct TLV2PortDescription {
  TLV2Port Index;
  TLV2PortKind Kind;
  TLV2PortRole Role;
  std::string_view Symbol;
  std::string_view Name;
  float Minimum;
  float Maximum;
  float Default;
  // The units extension's name of the unit ("db", "pc", "frame"), or empty.
  std::string_view Unit;
  // Index of the parameter the port drives, for prParameter ports.
  std::int32_t Parameter;
  // What the port does, in a sentence hosts show as its tooltip.
  std::string_view Comment;
};

// The control port of a parameter, described by the parameter table; the
// units extension names decibels "db" and percent "pc".
constexpr TLV2PortDescription ParameterPort(TLV2Port index, std::int32_t parameter) {
  const TParameterDescription& d = kParameterTable[static_cast<std::size_t>(parameter)];
  const std::string_view unit = d.Scale == TParameterScale::Decibels  ? "db"
                                : d.Scale == TParameterScale::Percent ? "pc"
                                                                      : "";
  return {index,
          pkControlIn,
          prParameter,
          d.Symbol,
          d.Name,
          static_cast<float>(d.Min),
          static_cast<float>(d.Max),
          static_cast<float>(d.Default),
          unit,
          parameter,
          d.Comment};
}

inline constexpr std::array<TLV2PortDescription, lpCount> kLV2Ports{{
    {lpInL, pkAudioIn, prAudio, "in_l", "Left In", 0, 0, 0, "", -1, "Left channel input"},
    {lpInR, pkAudioIn, prAudio, "in_r", "Right In", 0, 0, 0, "", -1, "Right channel input"},
    {lpOutL, pkAudioOut, prAudio, "out_l", "Left Out", 0, 0, 0, "", -1,
     "Left channel output, 6 frames behind the input"},
    {lpOutR, pkAudioOut, prAudio, "out_r", "Right Out", 0, 0, 0, "", -1,
     "Right channel output, 6 frames behind the input"},
    ParameterPort(lpGain, 0),
    ParameterPort(lpIntensity, 1),
    ParameterPort(lpOutGain, 2),
    {lpLatency, pkControlOut, prLatency, "latency", "Latency", 0, 6, 0, "frame", -1,
     "How many frames the output lags the input"},
    {lpEnabled, pkControlIn, prEnabled, "enabled", "Enabled", 0, 1, 1, "", -1,
     "Off passes the input through as late as the effect, crossfading over 64 frames"},
}};

// The control port that drives parameter `parameter`, or lpCount.
constexpr TLV2Port PortOfParameter(std::int32_t parameter) {
  for (const TLV2PortDescription& port : kLV2Ports)
    if (port.Role == prParameter && port.Parameter == parameter)
      return port.Index;
  return lpCount;
}
