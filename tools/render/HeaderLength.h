// The length a WAV (plain or extensible) or AIFF file's header promises.
// libsndfile quietly trims it to what the file holds, so a cut-off file has
// to be recognised here.
#pragma once

#include <sndfile.h>

#include <optional>
#include <string>

namespace glowrasp::render {

// Frames the header of the WAV or AIFF file at path promises; nothing for
// other containers, for lengths a streaming writer left open and for
// headers this reader does not follow.
std::optional<sf_count_t> promisedFrames(const std::string& path, int format);

} // namespace glowrasp::render
