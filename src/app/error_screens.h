// The screens of the failures a file can meet: the reader's, the analysis's
// and the out-of-memory pair. Each draws its message; the driver then ends
// the program.
#pragma once

#include "genotype/genotype_reader.h"
#include "stats/locus_analysis.h"

// The duplicate-entry screen on rows 21 to 24 for the record c1 c2 (as
// written in the file).
void show_duplicate_entry(char c1, char c2, const char* path);

// The message of a failed parse (any status but kOk); excerpt is the
// offending record as the reader gives it.
void show_parse_failure(const GenotypeParse& parse, const std::string& excerpt, const char* path);

// The memory message on the error line, with the hint to drop empty allele
// classes where the arrays grow with them; the cursor ends after the message,
// which is on the last row.
void show_memory_error(bool with_hint);

// Shows the failure of a read (any status but kOk) and returns the exit
// code; *at_once tells that the program ends without counting the run.
int show_read_failure(const GenotypeRead& read, const char* path, bool* at_once);

// Shows the failure of an analysis (any status but kOk).
void show_analysis_failure(AnalysisStatus status, const char* path);
