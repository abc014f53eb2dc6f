// How a batch run's heap takes memory from the system. Each first touch of
// a fresh 4 KiB page costs some microseconds (ten and more on virtual
// machines), more than a run does with most of the bytes it puts there, so
// a run over a large file spends a good share of its time on the pages of
// its tables, samples and rows. Blocks freed stay in the heap for the next
// block to reuse, and the main heap asks for transparent huge pages where
// the system grants them on request (one fault per 2 MiB). Where the
// program runs on mimalloc (linked in place of the C library's malloc), it
// is asked instead for huge pages for every thread's memory. The figures do
// not depend on it: only where the memory comes from changes.
#pragma once

// Whether the kernel backs memory with transparent huge pages where it is
// asked to (its setting is "always" or "madvise").
bool huge_pages_on_request();

// Called once, before the run allocates anything large. Whether the heap's
// pages are large: false where the system grants no huge pages on request,
// or the allocator in use (a sanitizer's, a C library other than glibc)
// does not take these settings (then nothing is changed).
bool prefer_large_heap_pages();
