#include "engine/media/nodes/MediaNodes.h"

#include "engine/media/nodes/AudioClipNode.h"
#include "engine/media/nodes/SoundNode.h"
#include "engine/scene/NodeFactory.h"

namespace vx {

// The texture, sound and text nodes take their rows here as they are built.
void RegisterMediaNodes(NodeClassTable& table) {
  RegisterAudioClipNode(table);
  RegisterSoundNode(table);
}

}  // namespace vx
