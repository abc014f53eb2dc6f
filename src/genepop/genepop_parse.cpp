#include "genepop/genepop_parse.h"

#include <cstdint>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "fileio/text_escape.h"
#include "genepop/genepop_tally.h"

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim(std::string_view s) {
  size_t begin = 0;
  while (begin < s.size() && is_blank(s[begin])) ++begin;
  size_t end = s.size();
  while (end > begin && is_blank(s[end - 1])) --end;
  return s.substr(begin, end - begin);
}

// The next run of characters other than blanks from pos on, pos moved past
// it; empty when only blanks are left.
std::string_view next_word(std::string_view s, size_t& pos) {
  while (pos < s.size() && is_blank(s[pos])) ++pos;
  const size_t start = pos;
  while (pos < s.size() && !is_blank(s[pos])) ++pos;
  return s.substr(start, pos - start);
}

bool is_pop_word(std::string_view word) {
  if (word.size() != 3) return false;
  return (word[0] | 0x20) == 'p' && (word[1] | 0x20) == 'o' && (word[2] | 0x20) == 'p';
}

bool is_pop_line(std::string_view trimmed) { return is_pop_word(trimmed); }

// "Pop 1", "POP north": a Pop line meant, with words after it. With a
// comma it is an individual named "pop ...".
bool is_pop_with_words(std::string_view trimmed) {
  size_t pos = 0;
  return is_pop_word(next_word(trimmed, pos)) && pos < trimmed.size() &&
         trimmed.find(',') == std::string_view::npos;
}

bool is_genotype_word(std::string_view word) {
  if (word.size() != 4 && word.size() != 6) return false;
  for (char c : word) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// "NAME , 0101 0202": a name, one comma, then genotypes. Two genotypes at
// least, so that a comma-separated pair of numbered loci ("1001, 1002")
// stays a list of locus names.
bool looks_like_individual(std::string_view line) {
  const size_t comma = line.find(',');
  if (comma == std::string_view::npos) return false;
  const std::string_view rest = line.substr(comma + 1);
  if (rest.find(',') != std::string_view::npos) return false;
  size_t words = 0;
  size_t pos = 0;
  for (std::string_view w = next_word(rest, pos); !w.empty(); w = next_word(rest, pos)) {
    if (!is_genotype_word(w)) return false;
    ++words;
  }
  return words >= 2;
}

bool fail(GenepopParser& p, GenepopStatus status, size_t line, std::string reason) {
  p.result.status = status;
  p.result.line = line;
  p.result.reason = std::move(reason);
  return false;
}

// Input quoted in a reason: the reason ends up on a line of its own, so its
// bytes are escaped as in the rows, and a long run of junk is cut short.
std::string quoted(std::string_view s) {
  constexpr size_t kShown = 20;
  std::string q = "\"";
  q += escape_text(s.substr(0, kShown));
  if (s.size() > kShown) q += "...";
  return q + "\"";
}

// A title is a line of text; any other line holds at most the genotypes
// of some hundred thousand loci.
constexpr size_t kMaxTitleBytes = size_t{64} * 1024;
constexpr size_t kMaxLineBytes = size_t{16} * 1024 * 1024;

// Individuals a population may hold: twice their number, the copies at one
// locus, must fit int32.
constexpr int32_t kMaxIndividuals = INT32_MAX / 2;

bool close_population(GenepopParser& p) {
  if (p.individuals == 0)
    return fail(p, GenepopStatus::kEmptyPopulation, p.pop_line, "Pop line without individuals");
  GenepopData& data = p.result.data;
  ++data.populations;
  append_population_tallies(data, data.populations, p.pop_name, p.digits, p.counters);
  p.individuals = 0;
  p.pop_name.clear();
  return true;
}

bool open_population(GenepopParser& p) {
  if (p.stage == GenepopParser::Stage::kLoci) {
    if (p.result.data.loci.empty())
      return fail(p, GenepopStatus::kNoLocusNames, p.line,
                  "no locus names before the first Pop line");
    p.digits.assign(p.result.data.loci.size(), 0);
    p.digits_line.assign(p.result.data.loci.size(), 0);
    p.counters.assign(p.result.data.loci.size(), LocusCounter{});
    p.stage = GenepopParser::Stage::kIndividuals;
  } else if (!close_population(p)) {
    return false;
  }
  p.pop_line = p.line;
  return true;
}

// One line of locus names: a single name, or names separated by commas, the
// last of which may be followed by a comma that continues the list.
bool add_locus_names(GenepopParser& p, std::string_view line) {
  std::vector<std::string>& loci = p.result.data.loci;
  if (p.names_from == 0) p.names_from = p.line;
  p.names_to = p.line;
  size_t start = 0;
  while (true) {
    const size_t comma = line.find(',', start);
    const std::string_view name =
        trim(line.substr(start, comma == std::string_view::npos ? line.npos : comma - start));
    const bool last = comma == std::string_view::npos;
    if (name.empty()) {
      // Only the piece after a comma that ends the line may be empty.
      if (last && start > 0) return true;
      return fail(p, GenepopStatus::kEmptyLocusName, p.line, "empty locus name");
    }
    loci.emplace_back(name);
    if (last) return true;
    start = comma + 1;
  }
}

// The value of an allele code of 2 or 3 digits.
uint16_t code_value(std::string_view digits) {
  uint16_t v = 0;
  for (char c : digits) v = static_cast<uint16_t>(v * 10 + (c - '0'));
  return v;
}

bool add_individual(GenepopParser& p, std::string_view line) {
  const size_t comma = line.find(',');
  if (comma == std::string_view::npos)
    return fail(p, GenepopStatus::kMissingComma, p.line,
                "no comma after the individual's name");
  if (p.individuals == kMaxIndividuals)
    return fail(p, GenepopStatus::kTooManyIndividuals, p.line,
                "more than " + std::to_string(kMaxIndividuals) + " individuals in one population");
  const size_t loci = p.result.data.loci.size();
  const std::string_view genotypes = line.substr(comma + 1);

  size_t count = 0;
  for (size_t pos = 0; !next_word(genotypes, pos).empty();) ++count;
  if (count != loci) {
    std::string reason = std::to_string(count) +
                         (count == 1 ? " genotype for " : " genotypes for ") +
                         std::to_string(loci) + (loci == 1 ? " locus" : " loci");
    // At the file's first individual the locus names themselves may be
    // wrong: an individual of one locus before a missing Pop line reads as
    // a line of names.
    if (p.result.data.populations == 0 && p.individuals == 0)
      reason += ", whose names were taken from " +
                (p.names_from == p.names_to
                     ? "line " + std::to_string(p.names_from)
                     : "lines " + std::to_string(p.names_from) + " to " +
                           std::to_string(p.names_to)) +
                " (is the first Pop line missing?)";
    return fail(p, GenepopStatus::kGenotypeCount, p.line, std::move(reason));
  }

  size_t pos = 0;
  for (size_t l = 0; l < loci; ++l) {
    const std::string_view g = next_word(genotypes, pos);
    for (char c : g) {
      if (c < '0' || c > '9')
        return fail(p, GenepopStatus::kGenotypeNotDigits, p.line,
                    "genotype " + quoted(g) + " has a character that is not a digit");
    }
    if (g.size() != 4 && g.size() != 6)
      return fail(p, GenepopStatus::kGenotypeWidth, p.line,
                  "genotype " + quoted(g) + " is not 4 or 6 digits");
    const int32_t width = static_cast<int32_t>(g.size() / 2);
    if (p.digits[l] == 0) {
      p.digits[l] = width;
      p.digits_line[l] = p.line;
    } else if (p.digits[l] != width) {
      return fail(p, GenepopStatus::kMixedWidth, p.line,
                  "genotype " + quoted(g) + " at locus " + quoted(p.result.data.loci[l]) + " has " +
                      std::to_string(width) + "-digit alleles, line " +
                      std::to_string(p.digits_line[l]) + " has " +
                      std::to_string(p.digits[l]) + "-digit alleles");
    }
    // A later failure stops the whole parse: what was counted never shows.
    count_genotype(p.counters[l], code_value(g.substr(0, g.size() / 2)),
                   code_value(g.substr(g.size() / 2)));
  }
  if (p.individuals == 0) p.pop_name = std::string(trim(line.substr(0, comma)));
  ++p.individuals;
  return true;
}

bool feed_line(GenepopParser& p, std::string_view line) {
  ++p.line;
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (line.size() > genepop_line_limit(p))
    return fail(p, GenepopStatus::kLineTooLong, p.line, "line too long");
  if (line.find('\r') != std::string_view::npos)
    return fail(p, GenepopStatus::kStrayCarriageReturn, p.line,
                "carriage return inside the line (only LF or CR LF may end a line)");
  if (p.stage == GenepopParser::Stage::kTitle) {
    p.result.data.title = std::string(line);
    p.stage = GenepopParser::Stage::kLoci;
    return true;
  }
  const std::string_view trimmed = trim(line);
  if (trimmed.empty()) return true;
  if (is_pop_line(trimmed)) return open_population(p);
  if (is_pop_with_words(trimmed))
    return fail(p, GenepopStatus::kPopLineWithText, p.line,
                quoted(trimmed) + ": a Pop line holds the word Pop alone");
  if (p.stage == GenepopParser::Stage::kLoci) {
    if (looks_like_individual(trimmed))
      return fail(p, GenepopStatus::kIndividualBeforePop, p.line,
                  "an individual before the first Pop line (is it missing?)");
    return add_locus_names(p, trimmed);
  }
  return add_individual(p, line);
}

GenepopRead take_result(GenepopParser& p) {
  GenepopRead r = std::move(p.result);
  if (r.status != GenepopStatus::kOk) r.data = GenepopData{};
  p = GenepopParser{};
  return r;
}

bool out_of_memory(GenepopParser& p) {
  // Release what the failed parse holds before recording the failure.
  p.counters = std::vector<LocusCounter>{};
  p.result.data = GenepopData{};
  return fail(p, GenepopStatus::kOutOfMemory, 0, "out of memory");
}

}  // namespace

size_t genepop_line_limit(const GenepopParser& p) {
  return p.stage == GenepopParser::Stage::kTitle ? kMaxTitleBytes : kMaxLineBytes;
}

bool feed_genepop_line(GenepopParser& p, std::string_view line) {
  if (p.result.status != GenepopStatus::kOk) return false;
  try {
    return feed_line(p, line);
  } catch (const std::bad_alloc&) {
    return out_of_memory(p);
  }
}

GenepopRead finish_genepop(GenepopParser& p) {
  if (p.result.status == GenepopStatus::kOk) {
    try {
      if (p.stage == GenepopParser::Stage::kTitle)
        fail(p, GenepopStatus::kEmptyFile, 0, "empty file");
      else if (p.stage == GenepopParser::Stage::kLoci)
        fail(p, GenepopStatus::kNoPopLine, p.line, "no Pop line");
      else
        close_population(p);
    } catch (const std::bad_alloc&) {
      out_of_memory(p);
    }
  }
  return take_result(p);
}

GenepopRead parse_genepop_text(std::string_view text) {
  GenepopParser p;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find('\n', start);
    if (end == std::string_view::npos) {
      feed_genepop_line(p, text.substr(start));
      break;
    }
    if (!feed_genepop_line(p, text.substr(start, end - start))) break;
    start = end + 1;
  }
  return finish_genepop(p);
}
