// What the platform's library load and unload hooks run: the skin module
// lives from load to unload, shared by every instance.
#pragma once

void GlowraspLibraryLoad();
void GlowraspLibraryUnload();
