// The bundle's Contents/Resources/moduleinfo.json: what the factory says,
// written out so that hosts can list the plug-in without loading it.
#pragma once

#include <string>

std::string Vst3ModuleInfoJson();
