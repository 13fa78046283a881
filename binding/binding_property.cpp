#include "binding/binding_property.h"

#include <cassert>
#include <charconv>
#include <cmath>
#include <new>
#include <utility>

#include "binding/base64.h"
#include "binding/binding_arena.h"
#include "binding/static_type.h"
#include "platform/framework_allocator.h"

namespace Kolm {
namespace {

constexpr const char* kKindNames[] = {"empty",  "bool", "signed", "unsigned",   "float",
                                      "string", "blob", "enum",   "collection", "structure"};
static_assert(sizeof(kKindNames) / sizeof(kKindNames[0]) == kBindingKindCount);

// Collections and structures keep their items in one block: this header, then the items.
struct ArrayHeader {
    std::uint32_t size;
    std::uint32_t capacity;
};
constexpr std::size_t kArrayHeaderBytes = 8;
static_assert(sizeof(ArrayHeader) == kArrayHeaderBytes);
static_assert(kArrayHeaderBytes == 8);  // BindingProperty::kItemsOffset
static_assert(alignof(BindingProperty) <= kArrayHeaderBytes);
static_assert(alignof(BindingEntry) <= kArrayHeaderBytes);

// A blob block: the byte count, then the bytes.
struct BlobHeader {
    std::uint32_t size;
    std::uint32_t reserved;
};

constexpr std::uint32_t kFirstCapacity = 4;
constexpr std::size_t kPoolSteps[] = {16, 32, 48, 64, 96, 128, 192, 256, 384, 512, 768, 1024};

// The capacity to allocate for at least `count` items: pooled blocks are filled to their size.
std::uint32_t CapacityFor(std::size_t count, std::size_t itemBytes) {
    const std::size_t bytes = kArrayHeaderBytes + count * itemBytes;
    for (std::size_t step : kPoolSteps) {
        if (bytes <= step) {
            return static_cast<std::uint32_t>((step - kArrayHeaderBytes) / itemBytes);
        }
    }
    return static_cast<std::uint32_t>(count);
}

std::size_t ArrayBytes(std::uint32_t capacity, std::size_t itemBytes) {
    return kArrayHeaderBytes + std::size_t{capacity} * itemBytes;
}

ArrayHeader* Header(void* storage) {
    return static_cast<ArrayHeader*>(storage);
}

template <class Item>
Item* Items(void* storage) {
    return reinterpret_cast<Item*>(static_cast<char*>(storage) + kArrayHeaderBytes);
}

// Byte-wise order of unsigned bytes, a prefix before its extensions. Keys are mostly short, so
// they are compared in place rather than through a library call.
inline int CompareKeys(std::string_view a, std::string_view b) {
    const std::size_t common = a.size() < b.size() ? a.size() : b.size();
    if (common > 16) {
        const int bytes = std::memcmp(a.data(), b.data(), common);
        if (bytes != 0) {
            return bytes;
        }
    } else {
        for (std::size_t i = 0; i < common; ++i) {
            const auto x = static_cast<unsigned char>(a[i]);
            const auto y = static_cast<unsigned char>(b[i]);
            if (x != y) {
                return x < y ? -1 : 1;
            }
        }
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

inline bool SameKey(const BindingText* text, const BindingHashedKey& key) {
    return text->hash == key.Hash() && text->length == key.Text().size() &&
           BytesEqual(text->Chars(), key.Text().data(), text->length);
}

// Structures up to this size are searched by comparing hashes, larger ones by bisection.
constexpr std::uint32_t kLinearSearchLimit = 16;

std::span<const std::uint8_t> BlobBytes(void* storage) {
    auto* header = static_cast<BlobHeader*>(storage);
    return {reinterpret_cast<const std::uint8_t*>(header + 1), header->size};
}

struct EnumBlock {
    BindingEnumRecord record;
};

constinit const BindingProperty gEmptyValue{};

}  // namespace

const char* BindingKindName(BindingKind kind) {
    return BindingKindName(static_cast<int>(kind));
}

const char* BindingKindName(int code) {
    return code >= 0 && code < kBindingKindCount ? kKindNames[code] : "";
}

// ---- BindingHashedKey --------------------------------------------------------------------------

BindingHashedKey BindingHashedKey::Owned(std::string_view text) {
    char* copy = static_cast<char*>(FrameworkAlloc(text.size() + 1));
    if (copy == nullptr) {
        throw std::bad_alloc();
    }
    if (!text.empty()) {
        std::memcpy(copy, text.data(), text.size());
    }
    copy[text.size()] = '\0';
    BindingHashedKey key(std::string_view(copy, text.size()));
    key.owned_ = true;
    return key;
}

BindingHashedKey::BindingHashedKey(const BindingHashedKey& other)
    : text_(other.text_), length_(other.length_), hash_(other.hash_) {
    if (other.owned_) {
        *this = Owned(other.Text());
    }
}

BindingHashedKey& BindingHashedKey::operator=(const BindingHashedKey& other) {
    if (this != &other) {
        *this = other.owned_ ? Owned(other.Text()) : BindingHashedKey(other.Text(), other.hash_);
    }
    return *this;
}

BindingHashedKey::BindingHashedKey(BindingHashedKey&& other) noexcept
    : text_(other.text_), length_(other.length_), hash_(other.hash_), owned_(other.owned_) {
    other.owned_ = false;
}

BindingHashedKey& BindingHashedKey::operator=(BindingHashedKey&& other) noexcept {
    if (this != &other) {
        if (owned_) {
            FrameworkFree(const_cast<char*>(text_));
        }
        text_ = other.text_;
        length_ = other.length_;
        hash_ = other.hash_;
        owned_ = other.owned_;
        other.owned_ = false;
    }
    return *this;
}

void BindingHashedKey::FreeText(const char* text) {
    FrameworkFree(const_cast<char*>(text));
}

// ---- construction and assignment ---------------------------------------------------------------

// The one way content replaces content: the new is built apart and complete before the old is
// released, because its source may live inside the old (`v = v.GetBlob()`, a root given its own
// child, a key taken from the text the value held) or contain this very value (a child given a
// copy of its parent).
template <class Build>
void BindingProperty::Replace(Build&& build) {
    BindingProperty fresh;
    fresh.arena_ = &EnsureArena();
    fresh.ownsArena_ = false;
    build(fresh);
    ReleaseContent();
    TakeFrom(fresh);
}

BindingProperty::BindingProperty(bool value) noexcept {
    kind_ = BindingKind::Bool;
    payload_.unsignedValue = 0;
    payload_.boolValue = value;
}

BindingProperty::BindingProperty(double value) noexcept {
    kind_ = BindingKind::Float;
    payload_.floatValue = value;
}

BindingProperty::BindingProperty(const char* text) {
    SetText(text != nullptr ? std::string_view(text) : std::string_view());
}

BindingProperty::BindingProperty(std::string_view text) {
    SetText(text);
}

BindingProperty::BindingProperty(const std::string& text) {
    SetText(text);
}

BindingProperty::BindingProperty(const BindingBlob& bytes) {
    SetBlob(bytes);
}

BindingProperty::BindingProperty(BindingBlob&& bytes) {
    SetBlob(bytes);
    BindingBlob().swap(bytes);
}

BindingProperty::BindingProperty(std::span<const std::uint8_t> bytes) {
    SetBlob(bytes);
}

BindingProperty::BindingProperty(BindingEnumRecord record) {
    SetEnum(record);
}

BindingProperty::BindingProperty(const BindingProperty& other) {
    // A copy of a whole tree holds exactly its texts: size the new table once for them.
    if (other.ownsArena_ && other.arena_ != nullptr && other.kind_ >= BindingKind::String) {
        ReserveTexts(other.arena_->InternedTextCount());
    }
    CopyFrom(other);
}

BindingProperty::BindingProperty(BindingProperty&& other) noexcept {
    if (other.ownsArena_) {
        payload_ = other.payload_;
        arena_ = other.arena_;
        kind_ = other.kind_;
        other.payload_.unsignedValue = 0;
        other.arena_ = nullptr;
        other.kind_ = BindingKind::Empty;
    } else {
        CopyFrom(other);
        other.Clear();
    }
}

BindingProperty::~BindingProperty() {
    if (ownsArena_) {
        // The arena holds every block of the tree: no walk is needed.
        BindingArena::Destroy(arena_);
    } else {
        ReleaseContent();
    }
}

BindingProperty& BindingProperty::operator=(const BindingProperty& other) {
    if (this == &other) {
        return *this;
    }
    if (arena_ != nullptr && arena_ == other.arena_) {
        Replace([&](BindingProperty& fresh) { fresh.CopyFrom(other); });
    } else {
        // Another tree cannot live inside this value.
        ReleaseContent();
        CopyFrom(other);
    }
    return *this;
}

BindingProperty& BindingProperty::operator=(BindingProperty&& other) noexcept {
    if (this == &other) {
        return *this;
    }
    if (ownsArena_ && other.ownsArena_) {
        std::swap(payload_, other.payload_);
        std::swap(arena_, other.arena_);
        std::swap(kind_, other.kind_);
        other.Clear();
    } else if (arena_ != nullptr && arena_ == other.arena_ && other.ownsArena_) {
        // This value lives inside the root `other`: the copy would be cleared with its source,
        // so what remains is the cleared root.
        other.Clear();
    } else if (arena_ != nullptr && arena_ == other.arena_) {
        // Same tree: the storage can change hands as it is, even when `other` lives inside the
        // content released here.
        BindingProperty taken;
        taken.arena_ = arena_;
        taken.ownsArena_ = false;
        taken.TakeFrom(other);
        ReleaseContent();
        TakeFrom(taken);
    } else {
        ReleaseContent();
        CopyFrom(other);
        other.Clear();
    }
    return *this;
}

BindingProperty& BindingProperty::operator=(bool value) {
    Clear();
    kind_ = BindingKind::Bool;
    payload_.boolValue = value;
    return *this;
}

BindingProperty& BindingProperty::operator=(double value) {
    Clear();
    kind_ = BindingKind::Float;
    payload_.floatValue = value;
    return *this;
}

BindingProperty& BindingProperty::operator=(const char* text) {
    return *this = (text != nullptr ? std::string_view(text) : std::string_view());
}

BindingProperty& BindingProperty::operator=(std::string_view text) {
    if (kind_ == BindingKind::String) {
        const std::string_view own = static_cast<BindingText*>(payload_.storage)->View();
        if (own.data() == text.data() && own.size() == text.size()) {
            return *this;  // assigning a value its own text
        }
    }
    Replace([text](BindingProperty& fresh) { fresh.SetText(text); });
    return *this;
}

BindingProperty& BindingProperty::operator=(const std::string& text) {
    return *this = std::string_view(text);
}

BindingProperty& BindingProperty::operator=(const BindingBlob& bytes) {
    return *this = std::span<const std::uint8_t>(bytes);
}

BindingProperty& BindingProperty::operator=(BindingBlob&& bytes) {
    *this = std::span<const std::uint8_t>(bytes);
    BindingBlob().swap(bytes);
    return *this;
}

BindingProperty& BindingProperty::operator=(std::span<const std::uint8_t> bytes) {
    Replace([bytes](BindingProperty& fresh) { fresh.SetBlob(bytes); });
    return *this;
}

BindingProperty& BindingProperty::operator=(BindingEnumRecord record) {
    Replace([record](BindingProperty& fresh) { fresh.SetEnum(record); });
    return *this;
}

const BindingProperty& BindingProperty::EmptyValue() {
    return gEmptyValue;
}

// ---- storage -----------------------------------------------------------------------------------

BindingArena& BindingProperty::EnsureArena() {
    if (arena_ == nullptr) {
        arena_ = BindingArena::Create();
        if (arena_ == nullptr) {
            throw std::bad_alloc();
        }
    }
    return *arena_;
}

void BindingProperty::SetText(std::string_view text) {
    payload_.storage = EnsureArena().Intern(text);
    kind_ = BindingKind::String;
}

void BindingProperty::SetBlob(std::span<const std::uint8_t> bytes) {
    void* block = EnsureArena().Allocate(sizeof(BlobHeader) + bytes.size());
    auto* header = static_cast<BlobHeader*>(block);
    header->size = static_cast<std::uint32_t>(bytes.size());
    header->reserved = 0;
    if (!bytes.empty()) {
        std::memcpy(header + 1, bytes.data(), bytes.size());
    }
    payload_.storage = block;
    kind_ = BindingKind::Blob;
}

void BindingProperty::SetEnum(BindingEnumRecord record) {
    void* block = EnsureArena().Allocate(sizeof(EnumBlock));
    new (block) EnumBlock{record};
    payload_.storage = block;
    kind_ = BindingKind::Enum;
}

// Moves the content of `other` (of the same arena) into this Empty value and leaves it Empty.
void BindingProperty::TakeFrom(BindingProperty& other) {
    payload_ = other.payload_;
    kind_ = other.kind_;
    other.payload_.unsignedValue = 0;
    other.kind_ = BindingKind::Empty;
}

void BindingProperty::ReleaseContent() {
    switch (kind_) {
        case BindingKind::String:
            arena_->Release(static_cast<BindingText*>(payload_.storage));
            break;
        case BindingKind::Blob:
            arena_->Free(payload_.storage, sizeof(BlobHeader) + BlobBytes(payload_.storage).size());
            break;
        case BindingKind::Enum:
            arena_->Free(payload_.storage, sizeof(EnumBlock));
            break;
        case BindingKind::Collection:
            if (payload_.storage != nullptr) {
                ArrayHeader* header = Header(payload_.storage);
                BindingProperty* items = Items<BindingProperty>(payload_.storage);
                for (std::uint32_t i = 0; i < header->size; ++i) {
                    items[i].ReleaseContent();
                }
                arena_->Free(payload_.storage,
                             ArrayBytes(header->capacity, sizeof(BindingProperty)));
            }
            break;
        case BindingKind::Structure:
            if (payload_.storage != nullptr) {
                ArrayHeader* header = Header(payload_.storage);
                BindingEntry* entries = Items<BindingEntry>(payload_.storage);
                for (std::uint32_t i = 0; i < header->size; ++i) {
                    arena_->Release(entries[i].key_);
                    entries[i].value_.ReleaseContent();
                }
                arena_->Free(payload_.storage, ArrayBytes(header->capacity, sizeof(BindingEntry)));
            }
            break;
        default:
            break;
    }
    kind_ = BindingKind::Empty;
    payload_.unsignedValue = 0;
}

void BindingProperty::InitChild(BindingProperty* slot, BindingArena* arena) {
    new (slot) BindingProperty();
    slot->arena_ = arena;
    slot->ownsArena_ = false;
}

void BindingProperty::CopyFrom(const BindingProperty& other) {
    switch (other.kind_) {
        case BindingKind::Empty:
            return;
        case BindingKind::Bool:
        case BindingKind::Signed:
        case BindingKind::Unsigned:
        case BindingKind::Float:
            payload_ = other.payload_;
            kind_ = other.kind_;
            return;
        case BindingKind::String: {
            auto* text = static_cast<BindingText*>(other.payload_.storage);
            payload_.storage = other.arena_ == arena_ && arena_ != nullptr
                                   ? BindingArena::AddReference(text)
                                   : EnsureArena().Intern(text);
            kind_ = BindingKind::String;
        }
            return;
        case BindingKind::Blob:
            SetBlob(BlobBytes(other.payload_.storage));
            return;
        case BindingKind::Enum:
            SetEnum(static_cast<EnumBlock*>(other.payload_.storage)->record);
            return;
        case BindingKind::Collection: {
            MakeCollection();
            const auto source = other.Elements();
            if (source.empty()) {
                return;
            }
            Reserve(source.size());
            BindingProperty* items = Items<BindingProperty>(payload_.storage);
            ArrayHeader* header = Header(payload_.storage);
            for (const BindingProperty& element : source) {
                BindingProperty* slot = &items[header->size];
                InitChild(slot, arena_);
                ++header->size;
                slot->CopyFrom(element);
            }
            return;
        }
        case BindingKind::Structure: {
            MakeStructure();
            const auto source = other.Entries();
            if (source.empty()) {
                return;
            }
            // The source is in key order already, so entries are appended as they come.
            const std::uint32_t capacity = CapacityFor(source.size(), sizeof(BindingEntry));
            payload_.storage = arena_->Allocate(ArrayBytes(capacity, sizeof(BindingEntry)));
            ArrayHeader* header = Header(payload_.storage);
            header->size = 0;
            header->capacity = capacity;
            BindingEntry* entries = Items<BindingEntry>(payload_.storage);
            const bool sameArena = other.arena_ == arena_;
            for (const BindingEntry& entry : source) {
                BindingEntry* slot = &entries[header->size];
                slot->key_ =
                    sameArena ? BindingArena::AddReference(entry.key_) : arena_->Intern(entry.key_);
                InitChild(&slot->value_, arena_);
                ++header->size;
                slot->value_.CopyFrom(entry.value_);
            }
            return;
        }
    }
}

void BindingProperty::GrowItems(std::size_t count, std::size_t itemBytes) {
    // Sizes are kept in 32 bits; anything near that is beyond any real tree.
    if (count > (std::size_t{1} << 31) / itemBytes) {
        throw std::bad_alloc();
    }
    std::uint32_t oldCapacity = 0;
    std::uint32_t size = 0;
    if (payload_.storage != nullptr) {
        oldCapacity = Header(payload_.storage)->capacity;
        size = Header(payload_.storage)->size;
        if (count <= oldCapacity) {
            return;
        }
    }
    const std::uint32_t capacity = CapacityFor(count, itemBytes);
    // Items are relocated bytewise: values refer to their arena, never to their own address.
    void* block = arena_->Reallocate(
        payload_.storage, payload_.storage == nullptr ? 0 : ArrayBytes(oldCapacity, itemBytes),
        ArrayBytes(capacity, itemBytes));
    Header(block)->size = size;
    Header(block)->capacity = capacity;
    payload_.storage = block;
}

// ---- queries -----------------------------------------------------------------------------------

bool BindingProperty::IsEmptyValue() const {
    switch (kind_) {
        case BindingKind::Bool:
            return !payload_.boolValue;
        case BindingKind::Signed:
        case BindingKind::Unsigned:
            return payload_.unsignedValue == 0;
        case BindingKind::Float:
            return payload_.floatValue == 0.0;
        case BindingKind::String:
        case BindingKind::Blob:
        case BindingKind::Collection:
        case BindingKind::Structure:
            return Size() == 0;
        case BindingKind::Enum:
            return static_cast<EnumBlock*>(payload_.storage)->record.value == 0;
        default:
            return true;
    }
}

std::size_t BindingProperty::Size() const {
    switch (kind_) {
        case BindingKind::Empty:
            return 0;
        case BindingKind::String:
            return static_cast<BindingText*>(payload_.storage)->length;
        case BindingKind::Blob:
            return BlobBytes(payload_.storage).size();
        case BindingKind::Collection:
        case BindingKind::Structure:
            return payload_.storage == nullptr ? 0 : Header(payload_.storage)->size;
        default:
            return 1;
    }
}

bool BindingProperty::GetBool(bool fallback) const {
    return kind_ == BindingKind::Bool ? payload_.boolValue : fallback;
}

std::int64_t BindingProperty::GetSigned(std::int64_t fallback) const {
    return kind_ == BindingKind::Signed ? payload_.signedValue : fallback;
}

std::uint64_t BindingProperty::GetUnsigned(std::uint64_t fallback) const {
    return kind_ == BindingKind::Unsigned ? payload_.unsignedValue : fallback;
}

double BindingProperty::GetFloat(double fallback) const {
    return kind_ == BindingKind::Float ? payload_.floatValue : fallback;
}

std::string_view BindingProperty::GetString(std::string_view fallback) const {
    return kind_ == BindingKind::String ? static_cast<BindingText*>(payload_.storage)->View()
                                        : fallback;
}

const char* BindingProperty::GetCString(const char* fallback) const {
    return kind_ == BindingKind::String ? static_cast<BindingText*>(payload_.storage)->Chars()
                                        : fallback;
}

std::span<const std::uint8_t> BindingProperty::GetBlob(
    std::span<const std::uint8_t> fallback) const {
    return kind_ == BindingKind::Blob ? BlobBytes(payload_.storage) : fallback;
}

BindingEnumRecord BindingProperty::GetEnum(BindingEnumRecord fallback) const {
    return kind_ == BindingKind::Enum ? static_cast<EnumBlock*>(payload_.storage)->record
                                      : fallback;
}

// ---- structures --------------------------------------------------------------------------------

const BindingEntry* BindingProperty::FindEntry(const BindingHashedKey& key) const {
    if (kind_ != BindingKind::Structure || payload_.storage == nullptr) {
        return nullptr;
    }
    const std::uint32_t size = Header(payload_.storage)->size;
    const BindingEntry* entries = Items<BindingEntry>(payload_.storage);
    if (size <= kLinearSearchLimit) {
        for (std::uint32_t i = 0; i < size; ++i) {
            if (SameKey(entries[i].key_, key)) {
                return &entries[i];
            }
        }
        return nullptr;
    }
    std::uint32_t low = 0;
    std::uint32_t high = size;
    while (low < high) {
        const std::uint32_t middle = low + (high - low) / 2;
        const int order = CompareKeys(entries[middle].Key(), key.Text());
        if (order == 0) {
            return &entries[middle];
        }
        if (order < 0) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return nullptr;
}

BindingProperty& BindingProperty::operator[](const BindingHashedKey& key) {
    std::uint32_t index;
    bool inserted;
    return LocateEntry(key, index, inserted).value_;
}

BindingEntry& BindingProperty::LocateEntry(const BindingHashedKey& key,
                                           std::uint32_t& index,
                                           bool& inserted) {
    if (kind_ != BindingKind::Structure) {
        // The structure replaces the old content, which may hold the key's text.
        BindingEntry* entry = nullptr;
        Replace([&](BindingProperty& fresh) {
            entry = &fresh.MakeStructure().LocateEntry(key, index, inserted);
        });
        return *entry;
    }
    inserted = false;
    const std::uint32_t size = payload_.storage == nullptr ? 0 : Header(payload_.storage)->size;
    std::uint32_t position = size;
    if (size > 0) {
        BindingEntry* entries = Items<BindingEntry>(payload_.storage);
        // Building in key order appends; check the last entry before searching.
        const int last = CompareKeys(key.Text(), entries[size - 1].Key());
        if (last == 0) {
            index = size - 1;
            return entries[size - 1];
        }
        if (last < 0) {
            std::uint32_t low = 0;
            std::uint32_t high = size - 1;
            while (low < high) {
                const std::uint32_t middle = low + (high - low) / 2;
                const int order = CompareKeys(entries[middle].Key(), key.Text());
                if (order == 0) {
                    index = middle;
                    return entries[middle];
                }
                if (order < 0) {
                    low = middle + 1;
                } else {
                    high = middle;
                }
            }
            position = low;
        }
    }
    GrowForEntry(size);
    // Interning may throw; the entries are only shifted once nothing else can fail.
    BindingText* text = arena_->Intern(key.Text(), key.Hash());
    BindingEntry& entry = OpenEntryAt(position, size);
    entry.key_ = text;
    InitChild(&entry.value_, arena_);
    index = position;
    inserted = true;
    return entry;
}

BindingProperty& BindingProperty::InsertEntryAt(std::uint32_t index, const BindingText* key) {
    if (kind_ != BindingKind::Structure) {
        BindingProperty* value = nullptr;
        Replace([&](BindingProperty& fresh) {
            value = &fresh.MakeStructure().InsertEntryAt(index, key);
        });
        return *value;
    }
    const std::uint32_t size = payload_.storage == nullptr ? 0 : Header(payload_.storage)->size;
    assert(index <= size);
    assert(index == 0 ||
           CompareKeys(Items<BindingEntry>(payload_.storage)[index - 1].Key(), key->View()) < 0);
    assert(index == size ||
           CompareKeys(key->View(), Items<BindingEntry>(payload_.storage)[index].Key()) < 0);
    GrowForEntry(size);
    BindingEntry& entry = OpenEntryAt(index, size);
    // The count is bookkeeping of the arena, not part of the text.
    entry.key_ = BindingArena::AddReference(const_cast<BindingText*>(key));
    InitChild(&entry.value_, arena_);
    return entry.value_;
}

void BindingProperty::GrowForEntry(std::uint32_t size) {
    if (payload_.storage != nullptr && size < Header(payload_.storage)->capacity) {
        return;
    }
    // Small structures grow a pool block at a time, which keeps them tight; past the largest
    // pooled block they double, so a structure of n entries is not copied n times.
    std::size_t count = size < kFirstCapacity ? kFirstCapacity : std::size_t{size} + 1;
    if (ArrayBytes(static_cast<std::uint32_t>(count), sizeof(BindingEntry)) >
        BindingArena::kLargestPooledBlock) {
        count = std::size_t{size} * 2;
    }
    GrowItems(count, sizeof(BindingEntry));
}

BindingEntry& BindingProperty::OpenEntryAt(std::uint32_t index, std::uint32_t size) {
    BindingEntry* entries = Items<BindingEntry>(payload_.storage);
    if (index < size) {
        std::memmove(static_cast<void*>(entries + index + 1),
                     static_cast<const void*>(entries + index),
                     (size - index) * sizeof(BindingEntry));
    }
    Header(payload_.storage)->size = size + 1;
    return entries[index];
}

BindingProperty& BindingProperty::AppendEntryInOrder(const BindingHashedKey& key) {
    if (kind_ != BindingKind::Structure) {
        return (*this)[key];  // the first entry of a new structure
    }
    const std::uint32_t size = payload_.storage == nullptr ? 0 : Header(payload_.storage)->size;
    if (size > 0 &&
        CompareKeys(key.Text(), Items<BindingEntry>(payload_.storage)[size - 1].Key()) <= 0) {
        return (*this)[key];
    }
    GrowForEntry(size);
    BindingText* text = arena_->Intern(key.Text(), key.Hash());
    BindingEntry& entry = OpenEntryAt(size, size);
    entry.key_ = text;
    InitChild(&entry.value_, arena_);
    return entry.value_;
}

void BindingProperty::CopyKeysFrom(const BindingProperty& layout) {
    if (&layout == this) {
        return;
    }
    if (kind_ == BindingKind::Structure && Size() == 0) {
        AddKeysOf(layout);  // an empty structure keeps its block, which may be large enough
        return;
    }
    Replace([&](BindingProperty& fresh) { fresh.MakeStructure().AddKeysOf(layout); });
}

void BindingProperty::AddKeysOf(const BindingProperty& layout) {
    const auto source = layout.Entries();
    if (source.empty()) {
        return;
    }
    GrowItems(source.size(), sizeof(BindingEntry));
    BindingEntry* entries = Items<BindingEntry>(payload_.storage);
    const bool sameArena = layout.arena_ == arena_;
    for (std::size_t i = 0; i < source.size(); ++i) {
        entries[i].key_ =
            sameArena ? BindingArena::AddReference(source[i].key_) : arena_->Intern(source[i].key_);
        InitChild(&entries[i].value_, arena_);
    }
    Header(payload_.storage)->size = static_cast<std::uint32_t>(source.size());
}

const BindingProperty& BindingProperty::Find(const BindingHashedKey& key) const {
    const BindingEntry* entry = FindEntry(key);
    return entry != nullptr ? entry->value_ : gEmptyValue;
}

BindingProperty* BindingProperty::FindMutable(const BindingHashedKey& key) {
    const BindingEntry* entry = FindEntry(key);
    return entry != nullptr ? &const_cast<BindingEntry*>(entry)->value_ : nullptr;
}

bool BindingProperty::Contains(const BindingHashedKey& key) const {
    return FindEntry(key) != nullptr;
}

bool BindingProperty::Remove(const BindingHashedKey& key) {
    auto* entry = const_cast<BindingEntry*>(FindEntry(key));
    if (entry == nullptr) {
        return false;
    }
    arena_->Release(entry->key_);
    entry->value_.ReleaseContent();
    ArrayHeader* header = Header(payload_.storage);
    BindingEntry* end = Items<BindingEntry>(payload_.storage) + header->size;
    std::memmove(static_cast<void*>(entry), static_cast<const void*>(entry + 1),
                 static_cast<std::size_t>(end - entry - 1) * sizeof(BindingEntry));
    --header->size;
    return true;
}

void BindingProperty::ReserveEntries(std::size_t count) {
    if (kind_ == BindingKind::Structure && count > 0) {
        GrowItems(count, sizeof(BindingEntry));
    }
}

void BindingProperty::ReserveTexts(std::size_t count) {
    try {
        EnsureArena().ReserveTexts(count);
    } catch (const std::bad_alloc&) {
        // Only a hint: texts are interned as usual.
    }
}

BindingProperty& BindingProperty::MakeStructure() {
    if (kind_ != BindingKind::Structure) {
        ReleaseContent();
        EnsureArena();
        kind_ = BindingKind::Structure;
        payload_.storage = nullptr;
    }
    return *this;
}

// ---- collections -------------------------------------------------------------------------------

BindingProperty& BindingProperty::MakeCollection() {
    if (kind_ != BindingKind::Collection) {
        ReleaseContent();
        EnsureArena();
        kind_ = BindingKind::Collection;
        payload_.storage = nullptr;
    }
    return *this;
}

const BindingProperty& BindingProperty::At(std::size_t index) const {
    if (kind_ != BindingKind::Collection || index >= Size()) {
        return gEmptyValue;
    }
    return Items<BindingProperty>(payload_.storage)[index];
}

BindingProperty& BindingProperty::Element(std::size_t index) {
    MakeCollection();
    const std::size_t size = Size();
    if (index >= size) {
        // Filling a collection index by index doubles it as Append does, rather than copying it
        // at every new index; reserved room is used first.
        const std::size_t capacity =
            payload_.storage == nullptr ? 0 : Header(payload_.storage)->capacity;
        if (index >= capacity) {
            GrowItems(index + 1 > size * 2 ? index + 1 : size * 2, sizeof(BindingProperty));
        }
        BindingProperty* items = Items<BindingProperty>(payload_.storage);
        for (std::size_t i = size; i <= index; ++i) {
            InitChild(&items[i], arena_);
        }
        Header(payload_.storage)->size = static_cast<std::uint32_t>(index + 1);
    }
    return Items<BindingProperty>(payload_.storage)[index];
}

BindingProperty& BindingProperty::Append() {
    MakeCollection();
    const std::uint32_t size = payload_.storage == nullptr ? 0 : Header(payload_.storage)->size;
    if (payload_.storage == nullptr || size == Header(payload_.storage)->capacity) {
        GrowItems(size < kFirstCapacity ? kFirstCapacity : std::size_t{size} * 2,
                  sizeof(BindingProperty));
    }
    BindingProperty* slot = &Items<BindingProperty>(payload_.storage)[size];
    InitChild(slot, arena_);
    Header(payload_.storage)->size = size + 1;
    return *slot;
}

void BindingProperty::Reserve(std::size_t count) {
    if (kind_ == BindingKind::Collection && count > 0) {
        try {
            GrowItems(count, sizeof(BindingProperty));
        } catch (const std::bad_alloc&) {
            // Only a hint: the collection still grows element by element.
        }
    }
}

// ---- texts and truth ---------------------------------------------------------------------------

namespace {

template <class T>
std::string DecimalText(T value) {
    char buffer[24];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof(buffer), value);
    (void)error;
    return std::string(buffer, end);
}

}  // namespace

std::string BindingProperty::ToString() const {
    switch (kind_) {
        case BindingKind::Bool:
            return payload_.boolValue ? "true" : "false";
        case BindingKind::Signed:
            return DecimalText(payload_.signedValue);
        case BindingKind::Unsigned:
            return DecimalText(payload_.unsignedValue);
        case BindingKind::Float: {
            // The "%f" form (six digits after the point) without the C locale's influence on the
            // decimal point; the largest double needs 316 characters.
            char buffer[400];
            const auto [end, error] = std::to_chars(
                buffer, buffer + sizeof(buffer), payload_.floatValue, std::chars_format::fixed, 6);
            return error == std::errc() ? std::string(buffer, end) : std::string();
        }
        case BindingKind::String:
            return std::string(GetString());
        case BindingKind::Blob:
            return Base64::Encode(GetBlob());
        case BindingKind::Enum:
            return DecimalText(GetEnum().value);
        default:
            return std::string();
    }
}

bool BindingProperty::ToBool() const {
    switch (kind_) {
        case BindingKind::Bool:
            return payload_.boolValue;
        case BindingKind::Signed:
        case BindingKind::Unsigned:
            return payload_.unsignedValue != 0;
        case BindingKind::Float:
            return payload_.floatValue != 0.0;
        case BindingKind::String: {
            const std::string_view text = GetString();
            return text == "true" || text == "1";
        }
        case BindingKind::Blob:
        case BindingKind::Collection:
        case BindingKind::Structure:
            return Size() != 0;
        case BindingKind::Enum:
            return GetEnum().value != 0;
        default:
            return false;
    }
}

bool BindingProperty::Equals(const BindingProperty& other) const {
    if (kind_ != other.kind_) {
        return false;
    }
    switch (kind_) {
        case BindingKind::Empty:
            return true;
        case BindingKind::Bool:
            return payload_.boolValue == other.payload_.boolValue;
        case BindingKind::Signed:
        case BindingKind::Unsigned:
            return payload_.unsignedValue == other.payload_.unsignedValue;
        case BindingKind::Float:
            // Structural equality: a NaN equals a NaN, so a copy always equals its source.
            return payload_.floatValue == other.payload_.floatValue ||
                   (std::isnan(payload_.floatValue) && std::isnan(other.payload_.floatValue));
        case BindingKind::String:
            return GetString() == other.GetString();
        case BindingKind::Blob: {
            const auto a = GetBlob();
            const auto b = other.GetBlob();
            return a.size() == b.size() &&
                   (a.empty() || std::memcmp(a.data(), b.data(), a.size()) == 0);
        }
        case BindingKind::Enum: {
            const BindingEnumRecord a = GetEnum();
            const BindingEnumRecord b = other.GetEnum();
            const std::uint32_t hashA = a.type != nullptr ? a.type->hash : 0;
            const std::uint32_t hashB = b.type != nullptr ? b.type->hash : 0;
            return a.value == b.value && hashA == hashB;
        }
        case BindingKind::Collection: {
            const auto a = Elements();
            const auto b = other.Elements();
            if (a.size() != b.size()) {
                return false;
            }
            for (std::size_t i = 0; i < a.size(); ++i) {
                if (!a[i].Equals(b[i])) {
                    return false;
                }
            }
            return true;
        }
        case BindingKind::Structure: {
            const auto a = Entries();
            const auto b = other.Entries();
            if (a.size() != b.size()) {
                return false;
            }
            for (std::size_t i = 0; i < a.size(); ++i) {
                if (a[i].Key() != b[i].Key() || !a[i].Value().Equals(b[i].Value())) {
                    return false;
                }
            }
            return true;
        }
    }
    return false;
}

// ---- BindingResult -----------------------------------------------------------------------------

BindingResult BindingResult::Failure(std::string_view message) {
    BindingResult result;
    result.Fail(message);
    return result;
}

void BindingResult::Fail(std::string_view message) {
    // The message may live in this very value (a result failing with its own error text).
    const std::string copy(message);
    value.Clear();
    success = false;
    value["error"] = copy;
}

std::string_view BindingResult::ErrorText() const {
    if (success) {
        return {};
    }
    return value.Find("error").GetString();
}

}  // namespace Kolm
