// Whether the permutation test's arrays fit in the memory this process may
// use. They grow with the number of allele copies (about 8 bytes each), so a
// sample of billions of copies would take the machine down long before an
// allocation failed: the experiment is measured against the physical memory
// available and the address space RLIMIT_AS leaves, before anything is
// allocated.
#pragma once

#include <cstdint>

// Bytes of the workspace of a sample of two_n copies and `cells` genotypes.
uint64_t workspace_bytes(int64_t two_n, int64_t cells);

// The smaller of the physical memory available now and the address space
// left under RLIMIT_AS (none when there is no limit); UINT64_MAX when neither
// can be known.
uint64_t usable_memory_bytes();
