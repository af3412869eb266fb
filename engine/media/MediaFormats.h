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

// The type of a local file by its first bytes where they show one (the PNG
// signature, an MPEG-1 pack or sequence header), else the name's type. A
// remote name is known by its name only.
MediaType DetectMediaTypeOf(const char* name);

// A new media object for the type, its name not yet set; null for a type
// without a class. withVideo tells movie formats whether they draw their
// pictures (true) or only play their sound.
std::unique_ptr<CMediaObject> OpenMediaOfType(MediaType type, bool withVideo);
// The object for the type DetectMediaTypeOf finds.
std::unique_ptr<CMediaObject> OpenMedia(const char* name, bool withVideo);

}  // namespace vx
