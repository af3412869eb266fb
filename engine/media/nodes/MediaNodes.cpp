#include "engine/media/nodes/MediaNodes.h"

#include "engine/media/nodes/AudioClipNode.h"
#include "engine/media/nodes/FontStyleNode.h"
#include "engine/media/nodes/ImageTextureNode.h"
#include "engine/media/nodes/MovieTextureNode.h"
#include "engine/media/nodes/PixelTextureNode.h"
#include "engine/media/nodes/SlideShowTextureNode.h"
#include "engine/media/nodes/SoundNode.h"
#include "engine/media/nodes/TextNode.h"
#include "engine/media/nodes/TextTextureNode.h"
#include "engine/media/nodes/TextureTransformNode.h"
#include "engine/scene/NodeFactory.h"

namespace vx {
namespace {

constexpr NodeRegistration kRegistrations[] = {
    RegisterFontStyleNode,
    RegisterTextNode,
    RegisterTextTextureNode,
    RegisterImageTextureNode,
    RegisterPixelTextureNode,
    RegisterMovieTextureNode,
    RegisterTextureTransformNode,
    RegisterSlideShowTextureNode,
    RegisterAudioClipNode,
    RegisterSoundNode,
};

}  // namespace

// The texture, sound and text nodes take their rows here as they are built.
void RegisterMediaNodes(NodeClassTable& table) { table.Register(kRegistrations); }

}  // namespace vx
