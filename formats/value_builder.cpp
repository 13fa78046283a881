#include "formats/value_builder.h"

namespace Kolm {

ValueBuilder::ValueBuilder(BindingProperty& root) : root(root) {
    frames.reserve(16);
}

BindingHashedKey ValueBuilder::HashedKey(std::string_view key, Frame& frame) {
    const std::uint32_t position = frame.keysSet++;
    if (position >= kRememberedKeysPerDepth) {
        return BindingHashedKey(key);
    }
    const std::size_t depth = frames.size() - 1;
    if (rememberedKeys.size() <= depth) {
        rememberedKeys.resize(depth + 1);
    }
    std::vector<RememberedKey>& level = rememberedKeys[depth];
    if (level.size() <= position) {
        level.resize(position + 1);
    } else if (level[position].text.size() == key.size() &&
               BytesEqual(level[position].text.data(), key.data(), key.size())) {
        return BindingHashedKey(key, level[position].hash);
    }
    RememberedKey& remembered = level[position];
    remembered.text.assign(key.data(), key.size());
    remembered.hash = Fnv1a(key);
    return BindingHashedKey(key, remembered.hash);
}

}  // namespace Kolm
