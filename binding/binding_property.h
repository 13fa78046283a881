// Kolm::BindingProperty, the dynamic value every boundary of the plugin speaks, with its kinds,
// the hashed key used for structure look-ups and BindingResult, the value-or-error form in which
// conversions report.
//
// A value is one of ten kinds. Scalars (bool, signed, unsigned, float) live in the value's inline
// 64-bit payload; texts, blobs, enum records, collections and structures live out of line in the
// BindingArena of the value's tree. The arena is created on first need by the root value and
// destroyed with it; every child takes its parent's arena. Texts (string values and structure
// keys) are interned and reference-counted per arena, so a key repeated in ten thousand elements
// is stored once.
//
//   Kolm::BindingProperty root;
//   root["name"] = "Kai";                  // root becomes a Structure
//   root["tags"].Append() = "first";       // "tags" becomes a Collection
//   std::string_view name = root.Find("name").GetString();
//
// A tree belongs to one thread at a time; nothing inside it is locked. A reference to a child is
// valid only while its parent is not cleared, reassigned or grown.
#pragma once

#include <compare>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace Kolm {

struct StaticTypeInfo;  // binding/static_type.h
class BindingArena;     // binding/binding_arena.h

enum class BindingKind : std::uint8_t {
    Empty = 0,
    Bool = 1,
    Signed = 2,
    Unsigned = 3,
    Float = 4,
    String = 5,
    Blob = 6,
    Enum = 7,
    Collection = 8,
    Structure = 9,
};
inline constexpr int kBindingKindCount = 10;

// "empty", "bool", ... "structure"; "" for a code outside 0 to 9.
const char* BindingKindName(BindingKind kind);
const char* BindingKindName(int code);

// The native form of a blob.
using BindingBlob = std::vector<std::uint8_t>;

// The payload of an Enum value: the enumerator's value and the identity of its native type (may
// be null when unknown).
struct BindingEnumRecord {
    std::int32_t value = 0;
    const StaticTypeInfo* type = nullptr;
};

// 32-bit FNV-1a over the bytes of `text`; the hash of interned texts, keys and type signatures.
constexpr std::uint32_t Fnv1a(const char* text, std::size_t length) {
    std::uint32_t hash = 0x811C9DC5u;
    for (std::size_t i = 0; i < length; ++i) {
        hash ^= static_cast<std::uint8_t>(text[i]);
        hash *= 16777619u;
    }
    return hash;
}
constexpr std::uint32_t Fnv1a(std::string_view text) {
    return Fnv1a(text.data(), text.size());
}

// Equality of the first and the last sizeof(Word) bytes of two ranges of `length` bytes, which
// cover the ranges whole when length is from sizeof(Word) to twice that.
template <class Word>
[[gnu::always_inline]] inline bool EndWordsEqual(const char* a, const char* b, std::size_t length) {
    Word a0, b0, a1, b1;
    std::memcpy(&a0, a, sizeof(Word));
    std::memcpy(&b0, b, sizeof(Word));
    std::memcpy(&a1, a + length - sizeof(Word), sizeof(Word));
    std::memcpy(&b1, b + length - sizeof(Word), sizeof(Word));
    return ((a0 ^ b0) | (a1 ^ b1)) == 0;
}

// Equality of two byte ranges of `length` bytes. Short ranges (keys, most texts) are compared as
// two overlapping words, so texts of many different lengths cost no mispredicted loop exits. It
// sits in the innermost loops of look-ups, so it is always inlined.
[[gnu::always_inline]] inline bool BytesEqual(const char* a, const char* b, std::size_t length) {
    if (length > 16) {
        return std::memcmp(a, b, length) == 0;
    }
    if (length >= 8) {
        return EndWordsEqual<std::uint64_t>(a, b, length);
    }
    if (length >= 4) {
        return EndWordsEqual<std::uint32_t>(a, b, length);
    }
    if (length == 0) {
        return true;
    }
    // One to three bytes: the first, the middle and the last cover them all.
    return a[0] == b[0] && a[length / 2] == b[length / 2] && a[length - 1] == b[length - 1];
}

// A look-up key: a text and its FNV-1a hash. The borrowing form (the constructors) points at the
// caller's text, which must outlive the key; Owned() copies the text onto the framework heap.
// Build a key once and reuse it to save the hashing in hot loops.
class BindingHashedKey {
  public:
    // A null text is the empty key.
    constexpr BindingHashedKey(const char* text)
        : text_(text != nullptr ? text : ""),
          length_(std::char_traits<char>::length(text_)),
          hash_(Fnv1a(text_, length_)) {}
    constexpr BindingHashedKey(std::string_view text)
        : text_(text.data()), length_(text.size()), hash_(Fnv1a(text)) {}
    BindingHashedKey(const std::string& text) : BindingHashedKey(std::string_view(text)) {}
    constexpr BindingHashedKey(std::string_view text, std::uint32_t hash)
        : text_(text.data()), length_(text.size()), hash_(hash) {}

    static BindingHashedKey Owned(std::string_view text);

    BindingHashedKey(const BindingHashedKey& other);
    BindingHashedKey& operator=(const BindingHashedKey& other);
    BindingHashedKey(BindingHashedKey&& other) noexcept;
    BindingHashedKey& operator=(BindingHashedKey&& other) noexcept;
    constexpr ~BindingHashedKey() {
        if (owned_) {
            FreeText(text_);
        }
    }

    constexpr std::string_view Text() const { return {text_, length_}; }
    constexpr std::uint32_t Hash() const { return hash_; }
    bool OwnsText() const { return owned_; }

  private:
    static void FreeText(const char* text);

    const char* text_;
    std::size_t length_;
    std::uint32_t hash_;
    bool owned_ = false;
};

class BindingEntry;

// An interned text of an arena: header, then the bytes and a terminating zero. The empty text is
// one process-wide entry that is never counted or freed.
struct BindingText {
    BindingText* next;  // chain of the arena's hash bucket
    std::uint32_t hash;
    std::uint32_t references;
    std::uint32_t length;

    const char* Chars() const { return reinterpret_cast<const char*>(this + 1); }
    std::string_view View() const { return {Chars(), length}; }
};

class BindingProperty {
  public:
    BindingProperty() noexcept = default;
    BindingProperty(bool value) noexcept;
    template <std::integral T>
    requires(!std::same_as<T, bool>) BindingProperty(T value)
    noexcept { SetInteger(value); }
    BindingProperty(double value) noexcept;
    BindingProperty(const char* text);
    BindingProperty(std::string_view text);
    BindingProperty(const std::string& text);
    BindingProperty(const BindingBlob& bytes);
    BindingProperty(BindingBlob&& bytes);  // takes the bytes; `bytes` is left empty
    BindingProperty(std::span<const std::uint8_t> bytes);
    BindingProperty(BindingEnumRecord record);

    // Deep copy: the destination keeps its own arena and every text is interned there again.
    BindingProperty(const BindingProperty& other);
    BindingProperty& operator=(const BindingProperty& other);
    // When both values own their arenas they swap and `other` is cleared; otherwise `other` is
    // deep-copied and then cleared.
    BindingProperty(BindingProperty&& other) noexcept;
    BindingProperty& operator=(BindingProperty&& other) noexcept;
    ~BindingProperty();

    // Each assignment replaces the old content. The new content is built first, so its source
    // may be part of the old (`v = v.GetBlob()`, a root given its own child).
    BindingProperty& operator=(bool value);
    template <std::integral T>
    requires(!std::same_as<T, bool>) BindingProperty& operator=(T value) {
        Clear();
        SetInteger(value);
        return *this;
    }
    BindingProperty& operator=(double value);
    BindingProperty& operator=(const char* text);
    BindingProperty& operator=(std::string_view text);
    BindingProperty& operator=(const std::string& text);
    BindingProperty& operator=(const BindingBlob& bytes);
    BindingProperty& operator=(BindingBlob&& bytes);
    BindingProperty& operator=(std::span<const std::uint8_t> bytes);
    BindingProperty& operator=(BindingEnumRecord record);

    // The read-only Empty value that every look-up returns when it finds nothing.
    static const BindingProperty& EmptyValue();

    BindingKind Kind() const { return kind_; }
    bool IsEmpty() const { return kind_ == BindingKind::Empty; }
    bool IsBool() const { return kind_ == BindingKind::Bool; }
    bool IsSigned() const { return kind_ == BindingKind::Signed; }
    bool IsUnsigned() const { return kind_ == BindingKind::Unsigned; }
    bool IsFloat() const { return kind_ == BindingKind::Float; }
    bool IsString() const { return kind_ == BindingKind::String; }
    bool IsBlob() const { return kind_ == BindingKind::Blob; }
    bool IsEnum() const { return kind_ == BindingKind::Enum; }
    bool IsCollection() const { return kind_ == BindingKind::Collection; }
    bool IsStructure() const { return kind_ == BindingKind::Structure; }

    // True for Empty, false, 0, 0.0, empty texts, blobs, collections and structures, and enum 0.
    bool IsEmptyValue() const;
    // Bytes of a text or blob, elements of a collection, entries of a structure; 1 for the other
    // kinds and 0 for Empty.
    std::size_t Size() const;

    // Typed getters: the payload when the kind matches exactly, else `fallback`. No conversion.
    bool GetBool(bool fallback = false) const;
    std::int64_t GetSigned(std::int64_t fallback = 0) const;
    std::uint64_t GetUnsigned(std::uint64_t fallback = 0) const;
    double GetFloat(double fallback = 0.0) const;
    std::string_view GetString(std::string_view fallback = {}) const;
    const char* GetCString(const char* fallback = "") const;  // zero-terminated
    std::span<const std::uint8_t> GetBlob(std::span<const std::uint8_t> fallback = {}) const;
    BindingEnumRecord GetEnum(BindingEnumRecord fallback = {}) const;

    // Key subscript: a value that is not a Structure is cleared into an empty one; the entry of
    // `key` is found or inserted as Empty.
    BindingProperty& operator[](const BindingHashedKey& key);
    BindingProperty& operator[](const char* key) { return (*this)[BindingHashedKey(key)]; }
    BindingProperty& operator[](std::string_view key) { return (*this)[BindingHashedKey(key)]; }
    BindingProperty& operator[](const std::string& key) { return (*this)[BindingHashedKey(key)]; }
    // Index subscript: makes the value a Collection and appends Empty elements until `index`
    // exists.
    template <std::integral I>
    BindingProperty& operator[](I index) {
        return Element(static_cast<std::size_t>(index));
    }
    // Read-only subscripts are Find and At.
    const BindingProperty& operator[](const BindingHashedKey& key) const { return Find(key); }
    const BindingProperty& operator[](const char* key) const { return Find(key); }
    template <std::integral I>
    const BindingProperty& operator[](I index) const {
        return At(static_cast<std::size_t>(index));
    }

    // The entry of `key`, or EmptyValue() when this is no Structure or has no such key.
    const BindingProperty& Find(const BindingHashedKey& key) const;
    // The entry of `key` for changing in place, or null; never converts this value.
    BindingProperty* FindMutable(const BindingHashedKey& key);
    // True when this is a Structure holding `key` (an Empty entry counts).
    bool Contains(const BindingHashedKey& key) const;
    // The entry of `key`, found or inserted as the key subscript does, with its index among the
    // entries; `inserted` tells whether it was added now.
    BindingEntry& LocateEntry(const BindingHashedKey& key, std::uint32_t& index, bool& inserted);
    // Inserts an Empty entry for `key`, an interned text of this value's arena, at `index` of this
    // Structure (made one first) and adds one reference to the text. The caller knows that the
    // key is absent and sorts at that index, as a reader repeating a known key layout does.
    BindingProperty& InsertEntryAt(std::uint32_t index, const BindingText* key);
    // Appends an Empty entry for `key` to this Structure (made one first) when `key` sorts after
    // every present key, which saves the search; otherwise behaves as the key subscript.
    BindingProperty& AppendEntryInOrder(const BindingHashedKey& key);
    // Makes this an empty Structure (dropping other content) holding the keys of the Structure
    // `layout`, each with an Empty value. Within one arena the keys are shared, not looked up.
    void CopyKeysFrom(const BindingProperty& layout);
    // Removes the entry of `key` from a Structure; false when there was none.
    bool Remove(const BindingHashedKey& key);
    // The element at `index`, or EmptyValue() when this is no Collection or it is too short.
    const BindingProperty& At(std::size_t index) const;
    // Appends an Empty element to a Collection (an Empty value becomes one first). On any other
    // kind the value is turned into a Collection, as the index subscript does.
    BindingProperty& Append();
    // Reserves room for `count` elements; on a Collection only.
    void Reserve(std::size_t count);
    // Reserves room for `count` entries; on a Structure only.
    void ReserveEntries(std::size_t count);
    // A hint that about `count` distinct texts (strings and keys) are about to be stored in this
    // value's tree: the tree's text table is sized once rather than grown as they arrive.
    void ReserveTexts(std::size_t count);

    // Makes the value an empty Collection or Structure (clearing other content); keeps it when it
    // already is one.
    BindingProperty& MakeCollection();
    BindingProperty& MakeStructure();

    // Releases the content and leaves Empty; the arena stays.
    void Clear() {
        if (kind_ >= BindingKind::String) {
            ReleaseContent();
        } else {
            kind_ = BindingKind::Empty;
            payload_.unsignedValue = 0;
        }
    }

    // Entries of a Structure in key order; empty for every other kind.
    std::span<BindingEntry> Entries();
    std::span<const BindingEntry> Entries() const;
    // Elements of a Collection in index order; empty for every other kind.
    std::span<BindingProperty> Elements() {
        return ItemsOf<BindingProperty>(BindingKind::Collection);
    }
    std::span<const BindingProperty> Elements() const {
        return const_cast<BindingProperty*>(this)->Elements();
    }

    // "%f" floats, base64 blobs, enum values as integers, "" for Empty, collections and
    // structures.
    std::string ToString() const;
    // Non-zero numbers, "true" and "1", non-empty blobs, collections and structures are true.
    bool ToBool() const;

    // Deep equality: same kind and same content (keys and elements in order).
    bool Equals(const BindingProperty& other) const;
    friend bool operator==(const BindingProperty& a, const BindingProperty& b) {
        return a.Equals(b);
    }

    // Whether this value created (and will destroy) its arena: set on roots, clear on children.
    bool OwnsArena() const { return ownsArena_; }
    BindingArena* Arena() const { return arena_; }

  private:
    friend class BindingArena;
    friend class BindingEntry;

    // Collections and structures keep their items in one block: a 32-bit size, a 32-bit
    // capacity, then the items.
    static constexpr std::size_t kItemsOffset = 8;
    template <class Item>
    std::span<Item> ItemsOf(BindingKind kind) {
        if (kind_ != kind || payload_.storage == nullptr) {
            return {};
        }
        auto* block = static_cast<char*>(payload_.storage);
        std::uint32_t size;
        std::memcpy(&size, block, sizeof(size));
        return {reinterpret_cast<Item*>(block + kItemsOffset), size};
    }

    template <class T>
    void SetInteger(T value) noexcept {
        if constexpr (std::is_signed_v<T>) {
            kind_ = BindingKind::Signed;
            payload_.signedValue = static_cast<std::int64_t>(value);
        } else {
            kind_ = BindingKind::Unsigned;
            payload_.unsignedValue = static_cast<std::uint64_t>(value);
        }
    }

    static void InitChild(BindingProperty* slot, BindingArena* arena);
    const BindingEntry* FindEntry(const BindingHashedKey& key) const;
    // Room for one more entry in a Structure of `size` entries.
    void GrowForEntry(std::uint32_t size);
    // Shifts the entries from `index` on by one and counts the new one, left uninitialised.
    BindingEntry& OpenEntryAt(std::uint32_t index, std::uint32_t size);
    // Makes room for `count` items in this Collection or Structure's block.
    void GrowItems(std::size_t count, std::size_t itemBytes);
    BindingArena& EnsureArena();
    BindingProperty& Element(std::size_t index);
    void SetText(std::string_view text);
    void SetBlob(std::span<const std::uint8_t> bytes);
    void SetEnum(BindingEnumRecord record);
    void CopyFrom(const BindingProperty& other);
    // Gives this empty Structure the keys of `layout`, each with an Empty value.
    void AddKeysOf(const BindingProperty& layout);
    // Stores what `build` puts into an Empty value of this arena as the new content, built before
    // the old content is released (the source may live inside it).
    template <class Build>
    void Replace(Build&& build);
    void TakeFrom(BindingProperty& other);
    void ReleaseContent();

    union Payload {
        bool boolValue;
        std::int64_t signedValue;
        std::uint64_t unsignedValue;
        double floatValue;
        void* storage;  // out-of-line storage in the arena
    };

    Payload payload_{.unsignedValue = 0};
    BindingArena* arena_ = nullptr;
    BindingKind kind_ = BindingKind::Empty;
    bool ownsArena_ = true;
};

// One entry of a Structure: an interned key and its value. Entries are kept in byte-wise key
// order (unsigned bytes, a prefix before its extensions).
class BindingEntry {
  public:
    std::string_view Key() const { return key_->View(); }
    const char* KeyCString() const { return key_->Chars(); }
    std::uint32_t KeyHash() const { return key_->hash; }
    // The interned text of the key; within one arena equal keys share one text.
    const BindingText* KeyText() const { return key_; }

    BindingProperty& Value() { return value_; }
    const BindingProperty& Value() const { return value_; }

  private:
    friend class BindingProperty;
    friend class BindingArena;
    BindingText* key_;
    BindingProperty value_;
};

inline std::span<BindingEntry> BindingProperty::Entries() {
    return ItemsOf<BindingEntry>(BindingKind::Structure);
}

inline std::span<const BindingEntry> BindingProperty::Entries() const {
    return const_cast<BindingProperty*>(this)->Entries();
}

// A BindingProperty followed by a success flag. A failure is the Structure {"error": message}
// with the flag cleared; only the first failure of a walk is kept because walks stop there, and
// a second Fail replaces the text.
struct BindingResult {
    BindingProperty value;
    bool success = true;

    BindingResult() = default;
    explicit BindingResult(BindingProperty initial) : value(std::move(initial)) {}

    static BindingResult Failure(std::string_view message);

    bool Succeeded() const { return success; }
    explicit operator bool() const { return success; }
    // Clears the value and records `message` under "error".
    void Fail(std::string_view message);
    // The "error" text of a failed result; "" when it succeeded or has no String there.
    std::string_view ErrorText() const;
};

}  // namespace Kolm
