// The media formats: the file type of a name, and the one table that makes
// the media object of each type.
#pragma once

#include <memory>

#include "engine/media/MediaObject.h"

namespace vx {

// The type of a name by its last four characters, letters in either case (a
// query or fragment is not stripped); MediaType::None for names shorter
// than four characters or of no known type.
MediaType DetectMediaType(const char* name);

// A new media object for the name's type, its name not yet set; null for a
// type without a class. withVideo tells movie formats whether they draw
// their pictures (true) or only play their sound.
std::unique_ptr<CMediaObject> OpenMedia(const char* name, bool withVideo);

}  // namespace vx
