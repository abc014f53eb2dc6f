// The reader phase: one genotype-count file into a new genotype table.
//
// read_genotype_file returns only on success, with k (largest allele index
// + 1) and two_n (twice the sum of the counts). Every failure shows its
// message and ends the program: a file that cannot be opened or read ends it
// at once (exit_at_once(1)); a file that is not an input file, a duplicate
// genotype, a record without an allele index, a negative or oversized count,
// and an allocation failure end it through exit_program(1).
#pragma once

#include <cstddef>
#include <cstdint>

#include "genotype/genotype_parse.h"
#include "genotype/genotype_table.h"

GenotypeTable read_genotype_file(const char* path, int32_t& k, int32_t& two_n);

// The duplicate-entry screen on rows 21 to 24 for the record c1 c2 (as
// written in the file); report_duplicate_entry then ends the program.
void show_duplicate_entry(char c1, char c2, const char* path);
[[noreturn]] void report_duplicate_entry(char c1, char c2, const char* path);

// Draws the message of a failed parse (any status but kOk), naming the
// offending record from the parse's own copy of it; data is no longer read.
// Does not end the program.
void show_parse_failure(const GenotypeParse& parse, const unsigned char* data, const char* path);
