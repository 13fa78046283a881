// ValueBuilder: the target-and-stack logic shared by the JSON, MessagePack and YAML readers.
//
// A reader reports what it sees (a scalar, the start of a collection or structure, a key, the
// end of a container) and the builder decides where each value goes: into a new element of the
// innermost open Collection, into the entry of the pending key of the innermost open Structure,
// or into the root. Nesting is bounded: opening a container beyond kMaxNestingDepth fails, so
// the trees the readers produce can be walked recursively without exhausting the stack.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <array>
#include <string_view>
#include <vector>

#include "binding/binding_property.h"

namespace Kolm {

class ValueBuilder {
  public:
    // The most containers open at once; the container that would be one more is refused.
    static constexpr std::size_t kMaxNestingDepth = 512;
    // The reason every reader gives, in its own message form, for refusing deeper nesting.
    static constexpr const char* kNestingTooDeepText = "Nesting is deeper than 512 levels";

    // Builds into `root`, which must outlive the builder.
    explicit ValueBuilder(BindingProperty& root);
    ~ValueBuilder();

    ValueBuilder(const ValueBuilder&) = delete;
    ValueBuilder& operator=(const ValueBuilder&) = delete;

    // The value the next scalar or container is written into: a new element of the innermost
    // Collection, the pending entry of the innermost Structure (which is then no longer pending)
    // or, with nothing open, the root.
    BindingProperty& Target() {
        if (frames.empty()) {
            return root;
        }
        Frame& frame = frames.back();
        if (frame.pendingEntry != nullptr) {
            BindingProperty* entry = frame.pendingEntry;
            frame.pendingEntry = nullptr;
            return *entry;
        }
        return frame.container->Append();
    }

    // Makes `target` (just returned by Target()) an empty Collection or Structure and opens it.
    // False, leaving nothing opened, when kMaxNestingDepth containers are already open. A
    // repeated key's earlier container is cleared first, so the last value wins whole.
    bool OpenCollection(BindingProperty& target) {
        target.Clear();
        return Open(target.MakeCollection(), nullptr);
    }
    bool OpenStructure(BindingProperty& target) {
        target.Clear();
        BindingProperty& structure = target.MakeStructure();
        KeyLayout* layout = frames.size() < kRememberedDepths ? &keyLayouts[frames.size()] : nullptr;
        if (layout != nullptr) {
            // Sized like the last structure at this depth, the likely shape of this one.
            structure.ReserveEntries(layout->lastCount);
        }
        return Open(structure, layout);
    }

    // Selects the entry of `key` in the innermost container, which must be a Structure: the
    // entry is created Empty when new and reused when the key repeats.
    void SetKey(std::string_view key) {
        Frame& frame = frames.back();
        const std::uint32_t position = frame.keysSet++;
        if (frame.layout != nullptr && position < frame.layout->keys.size()) {
            // The common case, the key the structure before had here: insert it where it went.
            const RememberedKey& remembered = frame.layout->keys[position];
            if (remembered.index != kNotInserted && remembered.text->length == key.size() &&
                BytesEqual(remembered.text->Chars(), key.data(), key.size())) {
                frame.pendingEntry =
                    &frame.container->InsertEntryAt(remembered.index, remembered.text);
                return;
            }
        }
        SetOtherKey(frame, position, key);
    }

    // Sizes the root's text table for an input of `inputBytes` bytes before reading it, so the
    // table is not rehashed again and again while a large document fills it. The estimate of
    // one distinct text per kInputBytesPerText bytes fits documents of records with texts and
    // costs small inputs nothing (they keep the table's first size).
    void ReserveTextsFor(std::size_t inputBytes) {
        if (inputBytes / kInputBytesPerText > kSmallestReserve) {
            root.ReserveTexts(inputBytes / kInputBytesPerText);
        }
    }

    // Closes the innermost container; returns it.
    BindingProperty& Close() {
        const Frame& frame = frames.back();
        if (frame.layout != nullptr) {
            frame.layout->lastCount = frame.keysSet;
        }
        BindingProperty& container = *frame.container;
        frames.pop_back();
        return container;
    }

    std::size_t Depth() const { return frames.size(); }
    // The innermost open container, or null at the top level.
    BindingProperty* Innermost() const {
        return frames.empty() ? nullptr : frames.back().container;
    }
    // True when the innermost container is a Structure whose next token is a key.
    bool ExpectsKey() const {
        return !frames.empty() && frames.back().container->IsStructure() &&
               frames.back().pendingEntry == nullptr;
    }

  private:
    // The keys of the last structure at one depth, by position, each with the index at which
    // its entry was inserted. Structures of a list mostly repeat their keys in the same order;
    // a structure whose first n keys equal the remembered ones has exactly the remembered
    // entries, so an equal (n+1)-th key is absent and goes to the remembered index, with no
    // hashing, table look-up or search. A key that differs replaces the remembered one and
    // drops those after it, so the remembered keys always begin with the current structure's
    // keys so far.
    struct RememberedKey {
        BindingText* text;    // one reference held by the builder
        std::uint32_t index;  // kNotInserted when the key repeated within its structure
    };
    struct KeyLayout {
        std::vector<RememberedKey> keys;
        std::uint32_t lastCount = 0;  // keys of the last closed structure at this depth
    };
    static constexpr std::uint32_t kNotInserted = 0xFFFFFFFFu;
    // An open container. Pointers stay valid because only the innermost container ever grows:
    // an open container's parent is not changed until the container is closed.
    struct Frame {
        BindingProperty* container;
        BindingProperty* pendingEntry;
        KeyLayout* layout;      // of a Structure at a remembered depth; null otherwise
        std::uint32_t keysSet;  // keys selected so far in this container
    };
    static constexpr std::size_t kInputBytesPerText = 128;
    static constexpr std::size_t kSmallestReserve = 64;
    // Positions remembered per depth; keys past them are hashed every time.
    static constexpr std::uint32_t kRememberedKeysPerDepth = 64;
    static constexpr std::size_t kRememberedDepths = 64;

    bool Open(BindingProperty& container, KeyLayout* layout) {
        if (frames.size() >= kMaxNestingDepth) {
            return false;
        }
        frames.push_back({&container, nullptr, layout, 0});
        return true;
    }

    void SetOtherKey(Frame& frame, std::uint32_t position, std::string_view key);

    BindingProperty& root;
    std::vector<Frame> frames;
    // By depth (frames.size() - 1), for the first kRememberedDepths depths.
    std::array<KeyLayout, kRememberedDepths> keyLayouts;
    // The arena of the remembered texts: the root's, taken when the first key is remembered.
    BindingArena* keyArena = nullptr;
};

}  // namespace Kolm
