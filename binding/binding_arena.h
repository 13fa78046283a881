// BindingArena: the storage shared by all values of one BindingProperty tree. It holds the
// tree's interned texts (a hash set keyed by FNV-1a, entries reference-counted) and hands out
// blocks for the out-of-line parts of values: small blocks from fixed-size pools over 4096-byte
// pages of the process-wide page source, larger ones from the framework heap. Destroying the
// arena gives back everything at once. An arena belongs to one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "binding/binding_property.h"

namespace Kolm {

class BindingArena {
  public:
    // Blocks up to this size come from the pools; larger ones from the heap.
    static constexpr std::size_t kLargestPooledBlock = 1024;

    // Null when the system is out of memory.
    static BindingArena* Create();
    static void Destroy(BindingArena* arena);

    BindingArena(const BindingArena&) = delete;
    BindingArena& operator=(const BindingArena&) = delete;

    // A block of at least `bytes` bytes, 8-byte aligned; throws std::bad_alloc when the system
    // refuses. `bytes` is passed again to Free.
    void* Allocate(std::size_t bytes);
    void Free(void* block, std::size_t bytes);
    // Grows or shrinks a block, keeping the first min(oldBytes, newBytes) bytes.
    void* Reallocate(void* block, std::size_t oldBytes, std::size_t newBytes);

    // The entry of `text` with one more reference; the empty text is the shared entry.
    BindingText* Intern(std::string_view text, std::uint32_t hash);
    BindingText* Intern(std::string_view text) { return Intern(text, Fnv1a(text)); }
    // The same for an entry of this or another arena (the stored hash is reused).
    BindingText* Intern(const BindingText* text);
    // One more reference to an entry of this arena (or the shared empty entry).
    static BindingText* AddReference(BindingText* text) {
        if (text->length != 0) {
            ++text->references;
        }
        return text;
    }
    // Drops one reference; the entry is erased at zero.
    void Release(BindingText* text);
    // The entry of `text` when interned here, without a reference; null otherwise.
    const BindingText* Lookup(std::string_view text, std::uint32_t hash) const;

    static BindingText* SharedEmptyText();

    std::size_t InternedTextCount() const { return textCount_; }
    // Sizes the text table for about `count` texts at once, so a tree about to be filled with
    // many texts does not rehash them step by step. Only a hint: never shrinks, and a refused
    // allocation leaves the table as it was.
    void ReserveTexts(std::size_t count);

  private:
    struct PoolPage;
    struct Pool {
        PoolPage* available;  // pages with at least one free block
        PoolPage* full;
        std::uint32_t blockSize;
        std::uint32_t spare;  // empty pages kept for reuse (at most one)
    };
    struct LargeBlock {
        LargeBlock* next;
        LargeBlock* previous;
        std::size_t bytes;
        std::size_t padding;
    };

    static constexpr int kPoolCount = 12;

    BindingArena();
    ~BindingArena();

    static int PoolIndex(std::size_t bytes);
    void* AllocatePooled(Pool& pool);
    void FreePooled(Pool& pool, void* block);
    PoolPage* NewPage(Pool& pool);
    void ReleasePage(Pool& pool, PoolPage* page);
    void* AllocateLarge(std::size_t bytes);
    void FreeLarge(void* block);
    // A chain of the text table. The head's hash and the chain's length sit beside the head, so
    // a text that is not there is mostly told apart without loading any entry: a look-up costs
    // the bucket's cache line and, only for a likely match or a longer chain, the entries'.
    struct Bucket {
        BindingText* head;
        std::uint32_t headHash;
        std::uint32_t length;
    };

    Bucket& BucketOf(std::uint32_t hash) const { return buckets_[hash & (bucketCount_ - 1)]; }
    static BindingText* FindInChain(const Bucket& bucket, std::string_view text,
                                    std::uint32_t hash);
    static void Push(Bucket& bucket, BindingText* entry);
    void GrowBuckets();
    void Rehash(std::uint32_t newCount);

    Pool pools_[kPoolCount];
    LargeBlock* large_ = nullptr;
    Bucket* buckets_ = nullptr;
    std::uint32_t bucketCount_ = 0;
    std::uint32_t textCount_ = 0;
};

}  // namespace Kolm
