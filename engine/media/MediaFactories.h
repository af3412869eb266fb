// The handle makers that nodes call: each classifies the name, makes the
// media object for it and wraps it in the kind of handle the node needs. The
// name is set on the new object (a local name is ready at once, an "http://"
// name is downloaded on the first Process). Null for a type the maker does
// not take, or whose format is not decoded.
#pragma once

#include <memory>

#include "engine/media/FrameSetTexture.h"
#include "engine/media/MediaHandle.h"
#include "engine/media/panorama/MultiResImage.h"
#include "engine/media/panorama/PanoramaImage.h"

namespace vx {

// JPEG, GIF, BMP, PICT.
std::unique_ptr<CImageHandle> CreateImageHandle(const char* name);
// GIF, QuickTime, AVI, ".lvd".
std::unique_ptr<CMovieHandle> CreateMovieHandle(const char* name);
// QuickTime, AVI, wave, ".lvd", ".tts"; movies play their sound only.
std::unique_ptr<CSoundHandle> CreateSoundHandle(const char* name);
// Block codebook, GIF, QuickTime, AVI, ".txt" tile descriptors.
std::unique_ptr<CFrameSetTexture> CreateFrameSetTexture(const char* name);
// Every still format and the gridded ones; block-codebook pictures and
// QuickTime movies are kept as tiles of their frame grid.
std::unique_ptr<CPanoramaImage> CreatePanoramaImage(const char* name);
// ".fpx"; its size is not known, so it holds no levels.
std::unique_ptr<CMultiResImage> CreateMultiResImage(const char* name);

}  // namespace vx
