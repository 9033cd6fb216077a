// The bundle's Turtle descriptions, written from the port table at build time.
#pragma once

#include <string>

std::string ManifestTurtle();
std::string PluginTurtle();
