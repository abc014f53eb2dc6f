// The program's throwing operator new, built where the program links
// mimalloc in place of the C library's malloc. mimalloc brings an operator
// new of its own that ends the process when memory runs out, where the
// program catches std::bad_alloc to say "out of memory" for one file and go
// on with the others; these keep the standard behaviour, taking their
// blocks from malloc (mimalloc's), so that every delete, mimalloc's, frees
// them. The nothrow forms and the deletes stay mimalloc's.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace {

// Asks until a block comes or no new-handler is left to free memory.
template <typename Allocate>
void* allocate_or_throw(Allocate allocate) {
  for (;;) {
    if (void* p = allocate()) return p;
    std::new_handler handler = std::get_new_handler();
    if (handler == nullptr) throw std::bad_alloc();
    handler();
  }
}

void* allocate(std::size_t size) {
  return allocate_or_throw([size] { return std::malloc(size == 0 ? 1 : size); });
}

void* allocate_aligned(std::size_t size, std::align_val_t alignment) {
  const auto align = static_cast<std::size_t>(alignment);
  // aligned_alloc wants a size that is a multiple of the alignment (and a
  // size that rounding would wrap around is beyond memory anyway).
  if (size > SIZE_MAX - align) throw std::bad_alloc();
  const std::size_t rounded = (std::max<std::size_t>(size, 1) + align - 1) / align * align;
  return allocate_or_throw([align, rounded] { return std::aligned_alloc(align, rounded); });
}

}  // namespace

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void* operator new(std::size_t size, std::align_val_t alignment) {
  return allocate_aligned(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
  return allocate_aligned(size, alignment);
}
