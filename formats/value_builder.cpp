#include "formats/value_builder.h"

#include "binding/binding_arena.h"

namespace Kolm {

ValueBuilder::ValueBuilder(BindingProperty& root) : root(root) {
    frames.reserve(16);
}

ValueBuilder::~ValueBuilder() {
    for (const KeyLayout& layout : keyLayouts) {
        for (const RememberedKey& remembered : layout.keys) {
            keyArena->Release(const_cast<BindingText*>(remembered.text));
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
    std::uint32_t index;
    bool inserted;
    if (position < keys.size()) {
        const RememberedKey& remembered = keys[position];
        if (remembered.text->length == key.size() &&
            BytesEqual(remembered.text->Chars(), key.data(), key.size())) {
            // The key repeated within the structure before, and so it does here.
            frame.pendingEntry = &structure[BindingHashedKey(key, remembered.text->hash)];
            return;
        }
        // The keys remembered after this one followed another key here; they no longer tell
        // this structure's layout.
        for (std::size_t later = position + 1; later < keys.size(); ++later) {
            keyArena->Release(const_cast<BindingText*>(keys[later].text));
        }
        keys.resize(position + 1);
        BindingEntry& entry = structure.LocateEntry(key, index, inserted);
        Remember(keys[position], entry, index, inserted);
        frame.pendingEntry = &entry.Value();
        return;
    }
    BindingEntry& entry = structure.LocateEntry(key, index, inserted);
    keys.push_back({BindingArena::AddReference(const_cast<BindingText*>(entry.KeyText())),
                    inserted ? index : kNotInserted});
    keyArena = structure.Arena();
    frame.pendingEntry = &entry.Value();
}

void ValueBuilder::Remember(RememberedKey& remembered, const BindingEntry& entry,
                            std::uint32_t index, bool inserted) {
    BindingText* text = BindingArena::AddReference(const_cast<BindingText*>(entry.KeyText()));
    keyArena->Release(const_cast<BindingText*>(remembered.text));
    remembered = {text, inserted ? index : kNotInserted};
}

}  // namespace Kolm
