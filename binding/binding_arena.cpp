#include "binding/binding_arena.h"

#include <array>
#include <cstring>
#include <new>

#include "binding/page_source.h"
#include "platform/framework_allocator.h"

namespace Kolm {
namespace {

constexpr std::uint32_t kBlockSizes[] = {16, 32, 48, 64, 96, 128, 192, 256, 384, 512, 768, 1024};
constexpr std::uint16_t kNoBlock = 0xFFFF;
constexpr std::uint32_t kInitialBuckets = 8;
constexpr std::size_t kLargestText = std::size_t{1} << 31;

// Pool index by size in 16-byte steps, for sizes up to kLargestPooledBlock.
constexpr std::array<std::int8_t, 65> MakePoolIndexTable() {
    std::array<std::int8_t, 65> table{};
    int pool = 0;
    for (std::size_t steps = 0; steps < table.size(); ++steps) {
        while (kBlockSizes[pool] < steps * 16) {
            ++pool;
        }
        table[steps] = static_cast<std::int8_t>(pool);
    }
    return table;
}
constexpr std::array<std::int8_t, 65> kPoolIndexTable = MakePoolIndexTable();

struct SharedEmptyEntry {
    BindingText text;
    char terminator[8];
};
SharedEmptyEntry gSharedEmpty{{nullptr, Fnv1a("", 0), 0, 0}, {}};

std::size_t TextBytes(std::size_t length) {
    return sizeof(BindingText) + length + 1;
}

}  // namespace

// The header at the start of every pool page; blocks follow it. Free blocks are chained through
// 16-bit block indices stored in their first bytes; blocks never handed out are carved lazily.
struct alignas(16) BindingArena::PoolPage {
    PoolPage* next;
    PoolPage* previous;
    std::uint16_t freeHead;
    std::uint16_t used;
    std::uint16_t carved;
    std::uint16_t capacity;
    bool full;

    char* Blocks() { return reinterpret_cast<char*>(this) + sizeof(PoolPage); }
};

BindingArena* BindingArena::Create() {
    void* memory = FrameworkAlloc(sizeof(BindingArena));
    if (memory == nullptr) {
        return nullptr;
    }
    return new (memory) BindingArena();
}

void BindingArena::Destroy(BindingArena* arena) {
    if (arena != nullptr) {
        arena->~BindingArena();
        FrameworkFree(arena);
    }
}

BindingArena::BindingArena() {
    for (int i = 0; i < kPoolCount; ++i) {
        pools_[i] = Pool{nullptr, nullptr, kBlockSizes[i], 0};
    }
}

BindingArena::~BindingArena() {
    for (Pool& pool : pools_) {
        for (PoolPage* list : {pool.available, pool.full}) {
            while (list != nullptr) {
                PoolPage* next = list->next;
                BindingPageSource::FreePage(list);
                list = next;
            }
        }
    }
    while (large_ != nullptr) {
        LargeBlock* next = large_->next;
        FrameworkFree(large_);
        large_ = next;
    }
}

int BindingArena::PoolIndex(std::size_t bytes) {
    return kPoolIndexTable[(bytes + 15) / 16];
}

void* BindingArena::Allocate(std::size_t bytes) {
    if (bytes > kLargestPooledBlock) {
        return AllocateLarge(bytes);
    }
    return AllocatePooled(pools_[PoolIndex(bytes)]);
}

void BindingArena::Free(void* block, std::size_t bytes) {
    if (block == nullptr) {
        return;
    }
    if (bytes > kLargestPooledBlock) {
        FreeLarge(block);
    } else {
        FreePooled(pools_[PoolIndex(bytes)], block);
    }
}

void* BindingArena::Reallocate(void* block, std::size_t oldBytes, std::size_t newBytes) {
    if (block != nullptr && oldBytes > kLargestPooledBlock && newBytes > kLargestPooledBlock) {
        LargeBlock* header = static_cast<LargeBlock*>(block) - 1;
        LargeBlock* next = header->next;
        LargeBlock* previous = header->previous;
        auto* moved =
            static_cast<LargeBlock*>(FrameworkRealloc(header, sizeof(LargeBlock) + newBytes));
        if (moved == nullptr) {
            throw std::bad_alloc();
        }
        moved->bytes = newBytes;
        (previous != nullptr ? previous->next : large_) = moved;
        if (next != nullptr) {
            next->previous = moved;
        }
        return moved + 1;
    }
    if (block != nullptr && newBytes <= kLargestPooledBlock && oldBytes <= kLargestPooledBlock &&
        PoolIndex(oldBytes) == PoolIndex(newBytes)) {
        return block;
    }
    void* fresh = Allocate(newBytes);
    if (block != nullptr) {
        std::memcpy(fresh, block, oldBytes < newBytes ? oldBytes : newBytes);
        Free(block, oldBytes);
    }
    return fresh;
}

void* BindingArena::AllocatePooled(Pool& pool) {
    PoolPage* page = pool.available != nullptr ? pool.available : NewPage(pool);
    char* block;
    if (page->freeHead != kNoBlock) {
        block = page->Blocks() + std::size_t{page->freeHead} * pool.blockSize;
        std::memcpy(&page->freeHead, block, sizeof(std::uint16_t));
    } else {
        block = page->Blocks() + std::size_t{page->carved} * pool.blockSize;
        ++page->carved;
    }
    if (page->used++ == 0) {
        --pool.spare;
    }
    if (page->used == page->capacity) {
        // Move the page from the available list to the full list.
        pool.available = page->next;
        if (page->next != nullptr) {
            page->next->previous = nullptr;
        }
        page->next = pool.full;
        page->previous = nullptr;
        if (pool.full != nullptr) {
            pool.full->previous = page;
        }
        pool.full = page;
        page->full = true;
    }
    return block;
}

void BindingArena::FreePooled(Pool& pool, void* block) {
    auto* page = reinterpret_cast<PoolPage*>(reinterpret_cast<std::uintptr_t>(block) &
                                             ~std::uintptr_t{BindingPageSource::kPageSize - 1});
    const auto index =
        static_cast<std::uint16_t>((static_cast<char*>(block) - page->Blocks()) / pool.blockSize);
    std::memcpy(block, &page->freeHead, sizeof(std::uint16_t));
    page->freeHead = index;
    if (page->full) {
        // Back from the full list to the front of the available list.
        (page->previous != nullptr ? page->previous->next : pool.full) = page->next;
        if (page->next != nullptr) {
            page->next->previous = page->previous;
        }
        page->previous = nullptr;
        page->next = pool.available;
        if (pool.available != nullptr) {
            pool.available->previous = page;
        }
        pool.available = page;
        page->full = false;
    }
    if (--page->used == 0) {
        if (pool.spare > 0) {
            ReleasePage(pool, page);
        } else {
            ++pool.spare;
        }
    }
}

BindingArena::PoolPage* BindingArena::NewPage(Pool& pool) {
    void* memory = BindingPageSource::AllocatePage();
    if (memory == nullptr) {
        throw std::bad_alloc();
    }
    auto* page = static_cast<PoolPage*>(memory);
    page->next = pool.available;
    page->previous = nullptr;
    page->freeHead = kNoBlock;
    page->used = 0;
    page->carved = 0;
    page->capacity = static_cast<std::uint16_t>((BindingPageSource::kPageSize - sizeof(PoolPage)) /
                                                pool.blockSize);
    page->full = false;
    if (pool.available != nullptr) {
        pool.available->previous = page;
    }
    pool.available = page;
    ++pool.spare;
    return page;
}

void BindingArena::ReleasePage(Pool& pool, PoolPage* page) {
    (page->previous != nullptr ? page->previous->next : pool.available) = page->next;
    if (page->next != nullptr) {
        page->next->previous = page->previous;
    }
    BindingPageSource::FreePage(page);
}

void* BindingArena::AllocateLarge(std::size_t bytes) {
    auto* header = static_cast<LargeBlock*>(FrameworkAlloc(sizeof(LargeBlock) + bytes));
    if (header == nullptr) {
        throw std::bad_alloc();
    }
    header->bytes = bytes;
    header->previous = nullptr;
    header->next = large_;
    if (large_ != nullptr) {
        large_->previous = header;
    }
    large_ = header;
    return header + 1;
}

void BindingArena::FreeLarge(void* block) {
    LargeBlock* header = static_cast<LargeBlock*>(block) - 1;
    (header->previous != nullptr ? header->previous->next : large_) = header->next;
    if (header->next != nullptr) {
        header->next->previous = header->previous;
    }
    FrameworkFree(header);
}

BindingText* BindingArena::SharedEmptyText() {
    return &gSharedEmpty.text;
}

BindingText* BindingArena::FindInChain(const Bucket& bucket, std::string_view text,
                                       std::uint32_t hash) {
    if (bucket.length == 0) {
        return nullptr;
    }
    BindingText* entry = bucket.head;
    if (bucket.headHash != hash) {
        if (bucket.length == 1) {
            return nullptr;
        }
        entry = entry->next;
    }
    for (; entry != nullptr; entry = entry->next) {
        if (entry->hash == hash && entry->length == text.size() &&
            BytesEqual(entry->Chars(), text.data(), text.size())) {
            return entry;
        }
    }
    return nullptr;
}

void BindingArena::Push(Bucket& bucket, BindingText* entry) {
    entry->next = bucket.head;
    bucket.head = entry;
    bucket.headHash = entry->hash;
    ++bucket.length;
}

const BindingText* BindingArena::Lookup(std::string_view text, std::uint32_t hash) const {
    if (text.empty()) {
        return &gSharedEmpty.text;
    }
    if (buckets_ == nullptr) {
        return nullptr;
    }
    return FindInChain(BucketOf(hash), text, hash);
}

BindingText* BindingArena::Intern(std::string_view text, std::uint32_t hash) {
    if (text.empty()) {
        return &gSharedEmpty.text;
    }
    if (buckets_ == nullptr) {
        Rehash(kInitialBuckets);
    }
    Bucket& bucket = BucketOf(hash);
    if (BindingText* found = FindInChain(bucket, text, hash)) {
        ++found->references;
        return found;
    }
    // Lengths are kept in 32 bits; a text near that is beyond any real tree.
    if (text.size() >= kLargestText) {
        throw std::bad_alloc();
    }
    auto* entry = static_cast<BindingText*>(Allocate(TextBytes(text.size())));
    entry->hash = hash;
    entry->references = 1;
    entry->length = static_cast<std::uint32_t>(text.size());
    char* chars = reinterpret_cast<char*>(entry + 1);
    std::memcpy(chars, text.data(), text.size());
    chars[text.size()] = '\0';
    Push(bucket, entry);
    if (++textCount_ > bucketCount_) {
        GrowBuckets();
    }
    return entry;
}

BindingText* BindingArena::Intern(const BindingText* text) {
    if (text->length == 0) {
        return &gSharedEmpty.text;
    }
    if (buckets_ != nullptr) {
        // An entry of this arena is found at once by identity.
        const Bucket& bucket = BucketOf(text->hash);
        if (bucket.length != 0 && bucket.headHash == text->hash) {
            for (BindingText* entry = bucket.head; entry != nullptr; entry = entry->next) {
                if (entry == text) {
                    ++entry->references;
                    return entry;
                }
            }
        } else if (bucket.length > 1) {
            for (BindingText* entry = bucket.head->next; entry != nullptr; entry = entry->next) {
                if (entry == text) {
                    ++entry->references;
                    return entry;
                }
            }
        }
    }
    return Intern(text->View(), text->hash);
}

void BindingArena::Release(BindingText* text) {
    if (text == &gSharedEmpty.text || --text->references != 0) {
        return;
    }
    Bucket& bucket = BucketOf(text->hash);
    if (bucket.head == text) {
        bucket.head = text->next;
        bucket.headHash = text->next != nullptr ? text->next->hash : 0;
    } else {
        BindingText* before = bucket.head;
        while (before->next != text) {
            before = before->next;
        }
        before->next = text->next;
    }
    --bucket.length;
    --textCount_;
    Free(text, TextBytes(text->length));
}

void BindingArena::GrowBuckets() {
    Rehash(bucketCount_ * 2);
}

void BindingArena::ReserveTexts(std::size_t count) {
    constexpr std::size_t kLargestReserve = std::size_t{1} << 30;
    if (count <= bucketCount_ || count > kLargestReserve) {
        return;
    }
    std::uint32_t newCount = bucketCount_ != 0 ? bucketCount_ : kInitialBuckets;
    while (newCount < count) {
        newCount *= 2;
    }
    try {
        Rehash(newCount);
    } catch (const std::bad_alloc&) {
        // The table keeps growing as texts arrive.
    }
}

void BindingArena::Rehash(std::uint32_t newCount) {
    auto* fresh = static_cast<Bucket*>(Allocate(newCount * sizeof(Bucket)));
    std::memset(static_cast<void*>(fresh), 0, newCount * sizeof(Bucket));
    for (std::uint32_t i = 0; i < bucketCount_; ++i) {
        BindingText* entry = buckets_[i].head;
        while (entry != nullptr) {
            BindingText* next = entry->next;
            Push(fresh[entry->hash & (newCount - 1)], entry);
            entry = next;
        }
    }
    if (buckets_ != nullptr) {
        Free(buckets_, bucketCount_ * sizeof(Bucket));
    }
    buckets_ = fresh;
    bucketCount_ = newCount;
}

}  // namespace Kolm
