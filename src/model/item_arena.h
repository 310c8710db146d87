// Blocks for the items of the edit tree.
//
// A tree of a million items would otherwise make a million separate heap blocks of the same
// size. The items are instead cut from chunks of 256 KiB (a freed block finds its chunk among
// the chunks kept in address order); a freed block goes back to its chunk, and a chunk whose
// blocks are all free is given back to the heap (one empty chunk is kept for the next item).
// Thread-safe: a load makes items on its worker while the window may drop an older tree.
#pragma once

#include <cstddef>

namespace dov {

// A block of `size` bytes (blocks of another size than `blockSize` come from the heap as
// usual); throws std::bad_alloc like operator new.
void* ItemArenaAllocate(std::size_t size, std::size_t blockSize);
// Gives back a block that ItemArenaAllocate made with the same sizes.
void ItemArenaRelease(void* p, std::size_t size, std::size_t blockSize) noexcept;

// Chunks held now, the spare one included (for tests).
std::size_t ItemArenaChunks();

}  // namespace dov
