#include "formats/value_builder.h"

#include "binding/binding_arena.h"

namespace Kolm {

ValueBuilder::ValueBuilder(BindingProperty& root) : root(root) {
    frames.reserve(16);
}

ValueBuilder::~ValueBuilder() {
    for (const KeyLayout& layout : keyLayouts) {
        for (const RememberedKey& remembered : layout.keys) {
            keyArena->Release(remembered.text);
        }
    }
}

void ValueBuilder::SetOtherKey(Frame& frame, std::uint32_t position, std::string_view key) {
    BindingProperty& structure = *frame.container;
    if (position >= kRememberedKeysPerDepth || frame.layout == nullptr) {
        frame.pendingEntry = &structure[key];
        return;
    }
    std::vector<RememberedKey>& keys = frame.layout->keys;
    if (position < keys.size()) {
        const RememberedKey& remembered = keys[position];
        if (remembered.text->length == key.size() &&
            BytesEqual(remembered.text->Chars(), key.data(), key.size())) {
            // The key repeated within the structure before, and so it does here.
            frame.pendingEntry = &structure[BindingHashedKey(key, remembered.text->hash)];
            return;
        }
        // This key and the ones remembered after it followed another key here; they no longer
        // tell this structure's layout.
        for (std::size_t later = position; later < keys.size(); ++later) {
            keyArena->Release(keys[later].text);
        }
        keys.resize(position);
    }
    std::uint32_t index;
    bool inserted;
    BindingEntry& entry = structure.LocateEntry(key, index, inserted);
    // The builder's own reference keeps the text while its entry may go (a repeated key's
    // structure is cleared); the count is the arena's bookkeeping, not part of the text.
    keys.push_back({BindingArena::AddReference(const_cast<BindingText*>(entry.KeyText())),
                    inserted ? index : kNotInserted});
    keyArena = structure.Arena();
    frame.pendingEntry = &entry.Value();
}

}  // namespace Kolm
