#include "lv2/LV2BundleTurtle.h"

#include "base/ProductInfo.h"
#include "base/Version.h"
#include "lv2/LV2Ports.h"

#include <sstream>

namespace {

constexpr const char* kPrefixes = "@prefix doap:  <http://usefulinc.com/ns/doap#> .\n"
                                  "@prefix foaf:  <http://xmlns.com/foaf/0.1/> .\n"
                                  "@prefix lv2:   <http://lv2plug.in/ns/lv2core#> .\n"
                                  "@prefix opts:  <http://lv2plug.in/ns/ext/options#> .\n"
                                  "@prefix rdfs:  <http://www.w3.org/2000/01/rdf-schema#> .\n"
                                  "@prefix ui:    <http://lv2plug.in/ns/extensions/ui#> .\n"
                                  "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n"
                                  "@prefix urid:  <http://lv2plug.in/ns/ext/urid#> .\n\n";

// Turtle decimals need a digit after the point. Toggles and frame counts are
// whole numbers, so they are written as integers, which hosts take as such.
std::string Number(const TLV2PortDescription& port, float value) {
  std::ostringstream text;
  text.setf(std::ios::fixed);
  text.precision(port.Role == prParameter ? 1 : 0);
  text << value;
  return text.str();
}

const char* PortClasses(TLV2PortKind kind) {
  switch (kind) {
  case pkAudioIn:
    return "lv2:AudioPort , lv2:InputPort";
  case pkAudioOut:
    return "lv2:AudioPort , lv2:OutputPort";
  case pkControlIn:
    return "lv2:ControlPort , lv2:InputPort";
  case pkControlOut:
    return "lv2:ControlPort , lv2:OutputPort";
  }
  return "";
}

void WritePort(std::ostream& out, const TLV2PortDescription& port) {
  out << "[\n"
      << "        a " << PortClasses(port.Kind) << " ;\n"
      << "        lv2:index " << port.Index << " ;\n"
      << "        lv2:symbol \"" << port.Symbol << "\" ;\n"
      << "        lv2:name \"" << port.Name << "\" ;\n"
      << "        rdfs:comment \"" << port.Comment << "\"";
  if (port.Role != prAudio)
    out << " ;\n        lv2:default " << Number(port, port.Default) << " ;\n"
        << "        lv2:minimum " << Number(port, port.Minimum) << " ;\n"
        << "        lv2:maximum " << Number(port, port.Maximum);
  if (!port.Unit.empty())
    out << " ;\n        units:unit units:" << port.Unit;
  if (port.Role == prLatency)
    out << " ;\n        lv2:designation lv2:latency ;\n"
        << "        lv2:portProperty lv2:reportsLatency , lv2:integer";
  if (port.Role == prEnabled)
    out << " ;\n        lv2:designation lv2:enabled ;\n"
        << "        lv2:portProperty lv2:toggled";
  out << "\n    ]";
}

} // namespace

std::string ManifestTurtle() {
  std::ostringstream out;
  out << "@prefix lv2:  <http://lv2plug.in/ns/lv2core#> .\n"
      << "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
      << "@prefix ui:   <http://lv2plug.in/ns/extensions/ui#> .\n\n"
      << "<" << kLV2PluginUri << ">\n"
      << "    a lv2:Plugin ;\n"
      << "    lv2:binary <" << kLV2DspBinary << "> ;\n"
      << "    rdfs:seeAlso <KestruneGlowrasp.ttl> .\n\n"
      << "<" << kLV2UIUri << ">\n"
      << "    a ui:X11UI ;\n"
      << "    ui:binary <" << kLV2UIBinary << "> ;\n"
      << "    rdfs:seeAlso <KestruneGlowrasp.ttl> .\n";
  return out.str();
}

std::string PluginTurtle() {
  std::ostringstream out;
  out << kPrefixes;
  // The URI carries the major version; an even minor is a stable release.
  out << "<" << kLV2PluginUri << ">\n"
      << "    a lv2:Plugin , lv2:WaveshaperPlugin ;\n"
      << "    doap:name \"" << kProductName << "\" ;\n"
      << "    doap:shortdesc \"" << kProductDescription << "\" ;\n"
      << "    doap:maintainer [\n"
      << "        foaf:name \"" << kVendorName << "\" ;\n"
      << "        foaf:mbox <"
      << "mailto:" << kProductEmail << "> ;\n"
      << "        foaf:homepage <" << kProductUrl << ">\n"
      << "    ] ;\n"
      << "    doap:release [ doap:revision \"" << kVersionText << "\" ] ;\n"
      << "    lv2:minorVersion " << kVersionMinor << " ;\n"
      << "    lv2:microVersion " << kVersionPatch << " ;\n"
      << "    lv2:optionalFeature lv2:hardRTCapable ;\n"
      << "    ui:ui <" << kLV2UIUri << "> ;\n"
      << "    lv2:port ";
  for (const TLV2PortDescription& port : kLV2Ports) {
    if (port.Index != 0)
      out << " , ";
    WritePort(out, port);
  }
  out << " .\n\n";
  // Fixed size (at a scale the host may set), in the host's window only,
  // driven by the host's idle calls; the host tells it every parameter
  // port's value.
  out << "<" << kLV2UIUri << ">\n"
      << "    a ui:X11UI ;\n"
      << "    lv2:requiredFeature ui:parent , ui:idleInterface ;\n"
      << "    lv2:optionalFeature ui:resize , ui:touch , ui:noUserResize , ui:fixedSize ,\n"
      << "        opts:options , urid:map ;\n"
      << "    opts:supportedOption ui:scaleFactor ;\n"
      << "    lv2:extensionData ui:idleInterface , opts:interface";
  for (const TLV2PortDescription& port : kLV2Ports)
    if (port.Role == prParameter)
      out << " ;\n    ui:portNotification [\n"
          << "        ui:plugin <" << kLV2PluginUri << "> ;\n"
          << "        lv2:symbol \"" << port.Symbol << "\" ;\n"
          << "        ui:protocol ui:floatProtocol\n    ]";
  out << " .\n";
  return out.str();
}
