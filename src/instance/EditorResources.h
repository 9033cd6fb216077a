// The skin pictures every editor of the library shares: loaded once when the
// library is loaded, released when it is unloaded.
#pragma once

void LoadEditorResources();
void ReleaseEditorResources();
