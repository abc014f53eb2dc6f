// The program's throwing operator new, built where the program links
// mimalloc in place of the C library's malloc. mimalloc brings an operator
// new of its own that ends the process when memory runs out, where the
// program catches std::bad_alloc to say "out of memory" for one file and go
// on with the others; these keep the standard behaviour, taking their
// blocks from malloc (mimalloc's), so that every delete, mimalloc's, frees
// them. The nothrow forms and the deletes stay mimalloc's.
#include <cstdlib>
#include <new>

namespace {

void* allocate(std::size_t size) {
  if (size == 0) size = 1;
  for (;;) {
    if (void* p = std::malloc(size)) return p;
    std::new_handler handler = std::get_new_handler();
    if (handler == nullptr) throw std::bad_alloc();
    handler();
  }
}

void* allocate_aligned(std::size_t size, std::align_val_t alignment) {
  const auto align = static_cast<std::size_t>(alignment);
  if (size == 0) size = 1;
  // aligned_alloc wants a size that is a multiple of the alignment.
  size = (size + align - 1) / align * align;
  for (;;) {
    if (void* p = std::aligned_alloc(align, size)) return p;
    std::new_handler handler = std::get_new_handler();
    if (handler == nullptr) throw std::bad_alloc();
    handler();
  }
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
