#include "model/item_arena.h"

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace dov {
namespace {

constexpr std::size_t kChunkBytes = 256 * 1024;

struct Chunk {
    Chunk* prev = nullptr;  // the chunks with a free block, doubly linked
    Chunk* next = nullptr;
    void* free = nullptr;  // freed blocks, each holding the next one's address
    std::size_t live = 0;  // blocks handed out
    std::size_t cut = 0;   // blocks cut from the chunk so far
};

constexpr std::size_t kHeader = (sizeof(Chunk) + 63) / 64 * 64;

// Memory made ahead. A large load makes items faster than the kernel hands out fresh pages:
// each first touch of a page stops the thread for the page to be supplied and cleared (on a
// virtual machine whose host takes freed memory back, up to 2 ms per MiB). Once the arena holds
// kWarmFrom chunks, a helper thread keeps up to kAhead chunks' worth of memory ready, its pages
// touched, and the thread making the items takes those first.
constexpr std::size_t kWarmFrom = 64;  // 16 MiB of items, about 28,000
constexpr std::size_t kAhead = 16;
constexpr std::size_t kPage = 4096;

struct Arena {
    std::mutex mu;
    Chunk* open = nullptr;    // chunks with a block to give
    Chunk* spare = nullptr;   // an empty chunk kept back
    std::vector<Chunk*> all;  // every chunk held, by address (a block finds its chunk here)
    std::size_t chunks = 0;
    std::vector<void*> ready;  // chunks' memory made ahead, pages touched, not chunks yet
    std::condition_variable wanted;
    bool warming = false;  // the helper thread runs

    // A new chunk's memory: one made ahead if there is one, else a fresh one. Called locked.
    void* NewChunkMemory() {
        void* m = nullptr;
        if (!ready.empty()) {
            m = ready.back();
            ready.pop_back();
        }
        if (chunks + 1 >= kWarmFrom) WantMore();
        return m ? m : ::operator new(kChunkBytes);
    }

    // Called locked: asks the helper thread for memory ahead, starting it the first time.
    void WantMore() {
        if (ready.size() >= kAhead / 2) return;
        if (!warming) {
            ready.reserve(kAhead);  // so that the helper's push cannot fail
            try {
                std::thread([this] { Warm(); }).detach();
                warming = true;
            } catch (const std::system_error&) {
                return;  // no thread: every chunk is made when it is needed, as before
            }
        }
        wanted.notify_one();
    }

    // The helper thread: fills `ready` back up whenever it runs low. It runs until the program
    // ends (the arena is never destroyed); between loads it sleeps.
    void Warm() {
        std::unique_lock<std::mutex> lock(mu);
        for (;;) {
            wanted.wait(lock, [this] { return ready.size() < kAhead; });
            lock.unlock();
            void* m = ::operator new(kChunkBytes, std::nothrow);
            if (m) {
                volatile char* page = static_cast<char*>(m);
                for (std::size_t at = 0; at < kChunkBytes; at += kPage) page[at] = 0;
            }
            lock.lock();
            if (!m) return;
            ready.push_back(m);
        }
    }

    static std::size_t Capacity(std::size_t block) { return (kChunkBytes - kHeader) / block; }
    static char* Blocks(Chunk* c) { return reinterpret_cast<char*>(c) + kHeader; }

    void Link(Chunk* c) {
        c->prev = nullptr;
        c->next = open;
        if (open) open->prev = c;
        open = c;
    }
    void Unlink(Chunk* c) {
        if (c->prev) c->prev->next = c->next;
        if (c->next) c->next->prev = c->prev;
        if (open == c) open = c->next;
        c->prev = c->next = nullptr;
    }

    void* Take(std::size_t block) {
        std::lock_guard<std::mutex> lock(mu);
        Chunk* c = open;
        if (!c) {
            if (spare) {
                c = spare;
                spare = nullptr;
            } else {
                all.reserve(all.size() + 1);  // the only step that may fail comes first
                c = new (NewChunkMemory()) Chunk;
                all.insert(std::upper_bound(all.begin(), all.end(), c, std::less<>()), c);
                ++chunks;
            }
            Link(c);
        }
        void* p;
        if (c->free) {
            p = c->free;
            c->free = *static_cast<void**>(p);
        } else {
            p = Blocks(c) + c->cut++ * block;
        }
        ++c->live;
        if (!c->free && c->cut == Capacity(block)) Unlink(c);
        return p;
    }

    // The chunk holding p: the last one that starts at or before it.
    Chunk* ChunkOf(void* p) const {
        auto it = std::upper_bound(all.begin(), all.end(), static_cast<Chunk*>(p), std::less<>());
        return *(it - 1);
    }

    void Give(void* p, std::size_t block) noexcept {
        std::lock_guard<std::mutex> lock(mu);
        Chunk* c = ChunkOf(p);
        const bool wasFull = !c->free && c->cut == Capacity(block);
        *static_cast<void**>(p) = c->free;
        c->free = p;
        if (--c->live > 0) {
            if (wasFull) Link(c);
            return;
        }
        if (!wasFull) Unlink(c);
        c->~Chunk();
        Chunk* empty = new (c) Chunk;
        if (!spare) {
            spare = empty;
            return;
        }
        empty->~Chunk();
        all.erase(std::lower_bound(all.begin(), all.end(), empty, std::less<>()));
        ::operator delete(empty);
        --chunks;
    }
};

Arena& TheArena() {
    static Arena* arena = new Arena;  // never destroyed: items may outlive static objects
    return *arena;
}

std::size_t BlockOf(std::size_t blockSize) {
    return (blockSize + 15) / 16 * 16;
}

}  // namespace

void* ItemArenaAllocate(std::size_t size, std::size_t blockSize) {
    if (size != blockSize || BlockOf(blockSize) > kChunkBytes / 8) return ::operator new(size);
    return TheArena().Take(BlockOf(blockSize));
}

void ItemArenaRelease(void* p, std::size_t size, std::size_t blockSize) noexcept {
    if (!p) return;
    if (size != blockSize || BlockOf(blockSize) > kChunkBytes / 8) {
        ::operator delete(p);
        return;
    }
    TheArena().Give(p, BlockOf(blockSize));
}

std::size_t ItemArenaChunks() {
    Arena& a = TheArena();
    std::lock_guard<std::mutex> lock(a.mu);
    return a.chunks;
}

}  // namespace dov
