// Any bytes through the genotype parser, raw and as the reader prepares a
// file (carriage returns dropped, cut at Ctrl-Z), then the statistics on
// every table the parser accepts. The raw bytes are also read the way the
// reader reads a file, through a window of a size the input chooses, from a
// file that can be read twice and from a pipe that cannot: the result must be
// the one of the whole prepared text. A broken invariant traps, so the fuzzer
// keeps the input as a crash.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "genotype/genotype_parse.h"
#include "genotype/genotype_table.h"
#include "genotype/text_bytes.h"
#include "genotype/text_window.h"
#include "stats/chi_square.h"
#include "stats/expected_x2.h"
#include "stats/heterozygosity.h"

namespace {

void require(bool condition) {
  if (!condition) __builtin_trap();
}

constexpr int64_t kInt32Max = 2147483647;

// The reader's preparation, written independently: no byte 13, nothing from
// the first 0x1A on.
void check_strip(const uint8_t* data, size_t size, const std::vector<unsigned char>& stripped) {
  std::vector<unsigned char> want;
  for (size_t i = 0; i < size && data[i] != 0x1A; ++i)
    if (data[i] != 13) want.push_back(data[i]);
  require(stripped == want);
}

void check_failure(const GenotypeParse& p, size_t length) {
  require(p.table.data == nullptr && p.table.size == 0);
  require(p.record_start <= p.record_end && p.record_end <= length);
}

// The table as read: k(k+1)/2 cells; a cell with letters holds exactly the
// letters of its own position, lower index first; a cell with a count has
// letters; counts are non-negative and add up to two_n / 2.
void check_table(const GenotypeParse& p) {
  require(p.k >= 1 && p.k <= 128);
  require(p.table.data != nullptr && p.table.size == static_cast<size_t>(cell_count_for(p.k)));
  require(p.two_n >= 0 && p.two_n % 2 == 0);
  int64_t sum = 0;
  for (int32_t i = 0; i < p.k; ++i) {
    for (int32_t j = i; j < p.k; ++j) {
      const GenotypeCell& c = p.table[static_cast<size_t>(tri_index(i, j, p.k))];
      require(c.count >= 0);
      const bool lettered = c.allele1 != 0 || c.allele2 != 0;
      if (c.count != 0) require(lettered);
      if (lettered) {
        require(c.allele1 == static_cast<char>(i + 65) && c.allele2 == static_cast<char>(j + 65));
        require(allele_index(static_cast<unsigned char>(c.allele1)) <=
                allele_index(static_cast<unsigned char>(c.allele2)));
      }
      sum += c.count;
    }
  }
  require(sum * 2 == p.two_n && sum * 2 <= kInt32Max);
}

// The analysis phase's order of calls, on buffers of exactly the lengths it
// allocates, so that any index beyond them is caught.
void run_statistics(GenotypeParse& p) {
  int32_t k = p.k;
  const size_t cells_read = static_cast<size_t>(cell_count_for(k));
  std::vector<float> expected(cells_read), cell_x2(cells_read), freq(static_cast<size_t>(k));
  std::vector<int32_t> total(static_cast<size_t>(k));
  const float x2 = compute_expected_x2(p.table.data, expected.data(), k, p.two_n, freq.data(),
                                       total.data(), cell_x2.data());
  require(k >= 1 && k <= p.k);
  int64_t copies = 0;
  for (int32_t i = 0; i < k; ++i) {
    require(total[static_cast<size_t>(i)] > 0 && freq[static_cast<size_t>(i)] > 0.0f);
    copies += total[static_cast<size_t>(i)];
  }
  require(copies == p.two_n);
  const int32_t cells = cell_count_for(k);
  for (int32_t pos = 0; pos < cells; ++pos) {
    require(expected[static_cast<size_t>(pos)] > 0.0f);
    require(cell_x2[static_cast<size_t>(pos)] >= 0.0f);
  }
  require(x2 >= 0.0f);

  // The allele letters come out in ascending order of allele index, every
  // position written.
  Buffer<char> letters = make_allele_letters(p.table.data, k);
  for (int32_t i = 0; i < k; ++i) {
    require(letters[static_cast<size_t>(i)] != 0);
    if (i > 0)
      require(static_cast<unsigned char>(letters[static_cast<size_t>(i - 1)]) <
              static_cast<unsigned char>(letters[static_cast<size_t>(i)]));
  }
  require(letters[static_cast<size_t>(k)] == 0);

  if (k < 2) return;  // the analysis stops there: no heterozygosity, no df
  int32_t het_observed = 0;
  float het_expected = 0.0f, d_obs = 0.0f;
  het_stats(p.table.data, cells, total.data(), k, p.two_n, &het_observed, &het_expected, &d_obs);
  require(het_observed >= 0 && het_observed <= p.two_n / 2);
  std::vector<float> reference(static_cast<size_t>(cells));
  reference_contributions(p.table.data, expected.data(), cells, reference.data());
  for (float v : reference) require(v >= 0.0f);
  const int32_t df = k * (k - 1) / 2;
  const float crit = static_cast<float>(chi2_crit_05(df));
  require(crit > 0.0f);
}

void parse_and_check(const unsigned char* data, size_t length) {
  GenotypeParse p = parse_genotype_bytes(data, length);
  if (p.status != GenotypeParseStatus::kOk) {
    check_failure(p, length);
    return;
  }
  check_table(p);
  if (p.two_n > 0) run_statistics(p);
}

void require_same(const GenotypeParse& got, const GenotypeParse& want) {
  require(got.status == want.status && got.k == want.k && got.two_n == want.two_n);
  require(got.table.size == want.table.size);
  if (want.table.size != 0)
    require(std::memcmp(got.table.data, want.table.data, want.table.size * sizeof(GenotypeCell)) == 0);
  require(got.c1 == want.c1 && got.c2 == want.c2);
  require(got.record_start == want.record_start && got.record_end == want.record_end);
  require(got.record_text_length == want.record_text_length);
  require(std::memcmp(got.record_text, want.record_text, want.record_text_length) == 0);
}

void require_window_parse(int fd, size_t capacity, const GenotypeParse& want) {
  require(fd >= 0);
  TextWindow window;
  require(adopt_text_window(fd, &window, capacity) == TextLoadStatus::kOk);
  const GenotypeParse got = parse_genotype_window(window);
  require(!window.failed);
  require_same(got, want);
}

// The raw bytes through windows of kTextWindowMinBytes + (first byte % 32):
// once from a seekable file in memory, once from a pipe (an input of up to
// 4 KiB fits its buffer).
void check_windows(const uint8_t* data, size_t size, const GenotypeParse& want) {
  const size_t capacity = kTextWindowMinBytes + (size != 0 ? data[0] % 32 : 0);
  const int file = memfd_create("genotype", MFD_CLOEXEC);
  require(file >= 0 && write(file, data, size) == static_cast<ssize_t>(size));
  require(lseek(file, 0, SEEK_SET) == 0);
  require_window_parse(file, capacity, want);

  if (size > 4096) return;
  int ends[2];
  require(pipe(ends) == 0);
  require(write(ends[1], data, size) == static_cast<ssize_t>(size));
  close(ends[1]);
  require_window_parse(ends[0], capacity, want);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Exactly sized copies: a read one byte past the data is caught.
  std::vector<unsigned char> raw(data, data + size);
  parse_and_check(raw.data(), raw.size());

  std::vector<unsigned char> work(data, data + size);
  const size_t length = strip_text_bytes(work.data(), work.size());
  require(length <= size);
  const std::vector<unsigned char> text(work.begin(), work.begin() + static_cast<std::ptrdiff_t>(length));
  check_strip(data, size, text);
  parse_and_check(text.data(), text.size());
  check_windows(data, size, parse_genotype_bytes(text.data(), text.size()));
  return 0;
}
