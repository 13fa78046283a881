#include "binding/page_source.h"

#include <cstdint>
#include <mutex>
#include <new>

#include "platform/virtual_memory.h"

namespace Kolm::BindingPageSource {
namespace {

// Address space is taken in reservations of this size and committed from the front.
constexpr std::size_t kReservationBytes = 4u << 20;
constexpr std::size_t kCommitBytes = kCommitPages * kPageSize;

struct FreePageLink {
    FreePageLink* next;
};

class PageSource {
  public:
    void* Allocate() {
        std::lock_guard<std::mutex> lock(mutex_);
        void* page = TakeFreePage();
        if (page == nullptr) {
            page = CarvePage();
        }
        if (page != nullptr) {
            ++pagesInUse_;
        }
        return page;
    }

    void Free(void* page) {
        std::lock_guard<std::mutex> lock(mutex_);
        auto* link = static_cast<FreePageLink*>(page);
        link->next = freePages_;
        freePages_ = link;
        --pagesInUse_;
    }

    Stats Current() {
        std::lock_guard<std::mutex> lock(mutex_);
        return Stats{pagesInUse_, pagesCommitted_, bytesReserved_};
    }

  private:
    void* TakeFreePage() {
        FreePageLink* page = freePages_;
        if (page != nullptr) {
            freePages_ = page->next;
        }
        return page;
    }

    // Takes the next page of the current reservation, committing (and reserving) as needed.
    void* CarvePage() {
        if (next_ == committedEnd_ && !CommitMore()) {
            return nullptr;
        }
        void* page = next_;
        next_ += kPageSize;
        return page;
    }

    bool CommitMore() {
        if (committedEnd_ == reservationEnd_) {
            void* base = Platform::ReserveMemory(kReservationBytes);
            if (base == nullptr) {
                return false;
            }
            // Reservations are page aligned, so every page carved from them is too.
            next_ = committedEnd_ = static_cast<char*>(base);
            reservationEnd_ = next_ + kReservationBytes;
            bytesReserved_ += kReservationBytes;
        }
        if (!Platform::CommitMemory(committedEnd_, kCommitBytes)) {
            return false;
        }
        committedEnd_ += kCommitBytes;
        pagesCommitted_ += kCommitPages;
        return true;
    }

    std::mutex mutex_;
    FreePageLink* freePages_ = nullptr;
    char* next_ = nullptr;
    char* committedEnd_ = nullptr;
    char* reservationEnd_ = nullptr;
    std::size_t pagesInUse_ = 0;
    std::size_t pagesCommitted_ = 0;
    std::size_t bytesReserved_ = 0;
};

// Never destroyed: trees held by static objects may give pages back during process exit.
PageSource& Source() {
    alignas(PageSource) static unsigned char storage[sizeof(PageSource)];
    static PageSource* source = new (storage) PageSource();
    return *source;
}

}  // namespace

void* AllocatePage() {
    return Source().Allocate();
}

void FreePage(void* page) {
    if (page != nullptr) {
        Source().Free(page);
    }
}

Stats CurrentStats() {
    return Source().Current();
}

}  // namespace Kolm::BindingPageSource
