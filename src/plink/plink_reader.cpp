#include "plink/plink_reader.h"

#include <algorithm>
#include <new>

#include "plink/bed_site_codes.h"
#include "sites/site_key.h"

namespace {

// .bed bytes read at once: consecutive variants up to this many bytes (or
// one variant when it is larger), small enough to be counted from the cache
// the read left them in.
constexpr size_t kChunkBytes = size_t{1} << 18;

enum class Next { kVariant, kEnd, kError };

Next bim_line_failure(PlinkReader& r, TextRead got, PlinkFailure& failure) {
  if (got == TextRead::kError)
    failure = plink_failure(PlinkStatus::kCannotOpen, r.paths.bim, 0, "cannot read the .bim file");
  return got == TextRead::kEnd ? Next::kEnd : Next::kError;
}

// The next non-blank .bim line as a variant, numbered; the failure of a line
// that was fine when the file was indexed means the file changed since.
Next next_bim_variant(PlinkReader& r, BimVariant& v, uint64_t& variant, PlinkFailure& failure) {
  std::string_view line;
  TextRead got;
  while ((got = next_text_line(r.bim, line)) == TextRead::kLine) {
    if (is_blank_line(line)) continue;
    std::string reason;
    if (!parse_bim_line(line, v, reason) || r.next_variant >= r.index.variants) {
      failure = plink_failure(PlinkStatus::kBadBim, r.paths.bim, r.bim.line,
                              reason.empty() ? "the file changed while it was read" : reason);
      return Next::kError;
    }
    variant = r.next_variant++;
    return Next::kVariant;
  }
  return bim_line_failure(r, got, failure);
}

// Sets the .bim reader at the first line of run `run` that can lie in the
// region: for a sorted run, the last mark before the region's start.
void enter_run(PlinkReader& r, size_t run, const VcfRegion& g) {
  const BimRun& b = r.index.runs[run];
  auto [first, end] = run_marks(r.index, run);
  uint32_t start = first;
  if (b.sorted) {
    const auto marks = r.index.marks.begin();
    const uint32_t at = static_cast<uint32_t>(
        std::partition_point(marks + first, marks + end,
                             [&](const BimMark& m) { return m.pos < g.from; }) -
        marks);
    start = at > first ? at - 1 : first;
  }
  const BimMark& m = r.index.marks[start];
  seek_text_line(r.bim, m.offset, m.line - 1);
  r.next_variant = m.variant;
  r.run_end = b.first + b.count;
  r.in_run = true;
}

// The next variant to read, with or without regions.
Next next_variant(PlinkReader& r, BimVariant& v, uint64_t& variant, PlinkFailure& failure) {
  if (r.regions.empty()) {
    for (;;) {
      const Next next = next_bim_variant(r, v, variant, failure);
      if (next == Next::kEnd && r.next_variant != r.index.variants) {
        failure = plink_failure(PlinkStatus::kBadBim, r.paths.bim, r.bim.line,
                                "the file changed while it was read");
        return Next::kError;
      }
      if (next != Next::kVariant || v.pos >= 0) return next;
    }
  }
  for (;;) {
    if (!r.in_run) {
      if (r.next_run < r.region_runs.size()) {
        const size_t run = r.region_runs[r.next_run++];
        const BimRun& b = r.index.runs[run];
        const VcfRegion& g = r.regions[r.next_region - 1];
        if (b.max_pos < g.from || b.min_pos > g.to) continue;
        enter_run(r, run, g);
        continue;
      }
      if (r.next_region == r.regions.size()) return Next::kEnd;
      const VcfRegion& g = r.regions[r.next_region++];
      std::string chrom;
      classify_plink_chrom(g.chrom, chrom);
      r.region_runs.clear();
      r.next_run = 0;
      for (size_t i = 0; i < r.index.runs.size(); ++i)
        if (r.index.runs[i].chrom == chrom) r.region_runs.push_back(i);
      continue;
    }
    if (r.next_variant >= r.run_end) {
      r.in_run = false;
      continue;
    }
    const Next next = next_bim_variant(r, v, variant, failure);
    if (next == Next::kEnd) {
      failure = plink_failure(PlinkStatus::kBadBim, r.paths.bim, r.bim.line,
                              "the file changed while it was read");
      return Next::kError;
    }
    if (next != Next::kVariant) return next;
    const VcfRegion& g = r.regions[r.next_region - 1];
    if (v.pos < 0 || v.pos < g.from) continue;
    if (v.pos > g.to) {
      if (r.index.runs[r.region_runs[r.next_run - 1]].sorted) r.in_run = false;
      continue;
    }
    return Next::kVariant;
  }
}

void keep_pending(PlinkReader& r, const BimVariant& v, uint64_t variant, PlinkChromKind kind,
                  std::string_view chrom) {
  PlinkPending p;
  p.variant = variant;
  p.line = r.bim.line;
  p.pos = v.pos;
  p.kind = kind;
  p.one_allele = is_no_allele(v.a1);
  const std::string_view ref = is_no_allele(v.a2) ? std::string_view("N") : v.a2;
  const std::string_view alt = p.one_allele ? std::string_view(".") : v.a1;
  p.text = static_cast<uint32_t>(r.text.size());
  p.chrom_length = static_cast<uint32_t>(chrom.size());
  p.id_length = static_cast<uint32_t>(v.id.size());
  p.ref_length = static_cast<uint32_t>(ref.size());
  p.alt_length = static_cast<uint32_t>(alt.size());
  r.text.append(chrom).append(v.id).append(ref).append(alt);
  r.pending.push_back(p);
}


// A population's genotype table over REF (A2) and ALT (A1), as the tally
// lays it out: 0/0, 0/1, 1/1, or 0/0 alone for a site of one allele.
void put_table(const CodeCounts& c, bool one_allele, int32_t* cells, int32_t& counted) {
  if (one_allele) {
    cells[0] = c.code[kBedHomA2];
    counted = cells[0];
    return;
  }
  cells[0] = c.code[kBedHomA2];
  cells[1] = c.code[kBedHet];
  cells[2] = c.code[kBedHomA1];
  counted = c.called();
}

PlinkFailure count_variant(PlinkReader& r, const PlinkPending& p, const uint8_t* bytes,
                           PlinkBlock& out) {
  const std::string_view text(r.text);
  SiteText s;
  s.chrom = text.substr(p.text, p.chrom_length);
  s.id = text.substr(p.text + p.chrom_length, p.id_length);
  s.ref = text.substr(p.text + p.chrom_length + p.id_length, p.ref_length);
  s.alt = text.substr(p.text + p.chrom_length + p.id_length + p.ref_length, p.alt_length);
  s.pos = p.pos;
  s.n_allele = p.one_allele ? 1 : 2;
  s.has_gt = true;
  s.record = p.line;

  if (p.one_allele) {
    CodeCounts all;
    count_genotype_codes(bytes, r.everyone, &all);
    const int32_t carriers = all.code[kBedHomA1] + all.code[kBedHet];
    if (carriers > 0)
      return plink_failure(PlinkStatus::kBadGenotypes, r.paths.bed, 0,
                           "variant " + std::to_string(p.variant + 1) + " (" + std::string(s.id) +
                               ", line " + std::to_string(p.line) +
                               " of the .bim): " + std::to_string(carriers) +
                               " samples carry A1, which the .bim gives as no allele (0)");
  }

  const size_t populations = r.pops.names.size();
  const size_t cells = p.one_allele ? 1 : 3;
  const bool by_sex = r.x_non_par && p.kind == PlinkChromKind::kX && r.x_non_par(s.chrom, s.pos);
  r.tally.cells.assign(populations * cells, 0);
  r.tally.counted.assign(populations, 0);
  if (by_sex) {
    count_genotype_codes(bytes, r.x_groups, r.x_counts.data());
    for (size_t q = 0; q < populations; ++q)
      put_table(r.x_counts[2 * q + 1], p.one_allele, r.tally.cells.data() + q * cells,
                r.tally.counted[q]);
  } else {
    count_genotype_codes(bytes, r.groups, r.counts.data());
    for (size_t q = 0; q < populations; ++q)
      put_table(r.counts[q], p.one_allele, r.tally.cells.data() + q * cells, r.tally.counted[q]);
  }
  uint64_t prefix = 0;
  const uint32_t occurrence = note_occurrence(r.identical, s.chrom, s.pos, s.ref, s.alt, prefix);
  const size_t first_unit = out.block.units.size();
  add_site_units(s, r.pops, prefix, occurrence, r.tally, out.block);
  out.sites.push_back({p.variant, p.kind, by_sex});
  out.sex.resize(out.block.units.size());
  if (by_sex) {
    for (size_t q = 0; q < populations; ++q) {
      SexSplit& split = out.sex[first_unit + q];
      split.male = r.x_counts[2 * q];
      split.female = r.x_counts[2 * q + 1];
      split.unknown = r.unknown_sex[q];
      // The unit is the females': its missing ones are females without a call.
      out.block.units[first_unit + q].missing = split.female.code[kBedMissing];
    }
  }
  return {};
}

// The structure-robust test's codes of a variant just counted.
void append_site_codes(const PlinkReader& r, const uint8_t* bytes, SiteBlock& block) {
  const size_t samples = r.fam.samples.size();
  block.code_samples = static_cast<int32_t>(samples);
  const size_t at = block.codes.size();
  block.codes.resize(at + samples);
  bed_site_codes(bytes, samples, block.codes.data() + at);
}

// Counts the pending variants, reading runs of consecutive ones at once.
PlinkFailure count_pending(PlinkReader& r, PlinkBlock& out) {
  const uint64_t each = r.bed.variant_bytes;
  const size_t most = each == 0 ? r.pending.size() : std::max<size_t>(1, kChunkBytes / each);
  for (size_t i = 0; i < r.pending.size();) {
    size_t run = 1;
    while (i + run < r.pending.size() && run < most &&
           r.pending[i + run].variant == r.pending[i].variant + run)
      ++run;
    const PlinkFailure read = read_bed_variants(r.bed, r.pending[i].variant, run, r.chunk.data());
    if (!plink_ok(read)) return read;
    r.bed_bytes_read += run * each;
    for (size_t k = 0; k < run; ++k) {
      PlinkFailure f = count_variant(r, r.pending[i + k], r.chunk.data() + k * each, out);
      if (!plink_ok(f)) return f;
      if (r.site_codes) append_site_codes(r, r.chunk.data() + k * each, out.block);
    }
    i += run;
  }
  return {};
}

void clear_plink_block(PlinkBlock& b) {
  clear_site_block(b.block);
  b.sites.clear();
  b.sex.clear();
}

}  // namespace

PlinkPaths plink_fileset(std::string_view prefix) {
  const std::string p(prefix);
  return {p + ".bed", p + ".bim", p + ".fam"};
}

int32_t population_count(const PlinkReader& r) { return static_cast<int32_t>(r.pops.names.size()); }

namespace {

PlinkFailure open_fileset(const PlinkPaths& paths, const PlinkReadOptions& options,
                          PlinkReader& r) {
  r.paths = paths;
  if (options.pops && options.by_phenotype)
    return plink_failure(PlinkStatus::kBadOptions, paths.fam, 0,
                         "populations come from --pops or from the phenotype, not both");
  r.fam = read_fam_file(paths.fam.c_str());
  if (!plink_ok(r.fam.failure)) return r.fam.failure;
  r.index = index_bim_file(paths.bim.c_str());
  if (!plink_ok(r.index.failure)) return r.index.failure;
  const uint64_t samples = r.fam.samples.size();
  PlinkFailure f = open_bed_file(paths.bed.c_str(), samples, r.index.variants, r.bed);
  if (!plink_ok(f)) return f;
  if (!open_text_file(paths.bim.c_str(), r.bim))
    return plink_failure(PlinkStatus::kCannotOpen, paths.bim, 0, "cannot open the .bim file");

  if (options.by_phenotype) {
    f = phenotype_populations(r.fam, paths.fam, r.pops);
    if (!plink_ok(f)) return f;
  } else if (options.pops) {
    r.pops = assign_populations(*options.pops, fam_names(r.fam));
  } else {
    r.pops = all_samples_one_population(static_cast<int32_t>(samples));
  }
  r.groups = make_sample_groups(r.pops.of_sample, r.pops.names.size());
  r.everyone = make_sample_groups(std::vector<int32_t>(samples, 0), 1);
  r.counts.resize(r.pops.names.size());
  r.chunk.resize(std::max<size_t>(kChunkBytes, r.bed.variant_bytes));
  r.regions = options.regions;
  r.site_codes = options.site_codes;
  return {};
}

// The block's variants from the .bim, then their counts.
PlinkFailure fill_block(PlinkReader& r, PlinkBlock& out, size_t max_sites) {
  PlinkFailure failure;
  BimVariant v;
  uint64_t variant = 0;
  std::string code, chrom;  // the last code met and its name
  PlinkChromKind kind = PlinkChromKind::kOther;
  while (!r.done && r.pending.size() < max_sites) {
    const Next next = next_variant(r, v, variant, failure);
    if (next == Next::kEnd) {
      r.done = true;
      break;
    }
    if (next == Next::kError) return failure;
    if (code.empty() || v.chrom != code) {
      code.assign(v.chrom);
      kind = classify_plink_chrom(code, chrom);
    }
    keep_pending(r, v, variant, kind, chrom);
  }
  return count_pending(r, out);
}

}  // namespace

PlinkFailure open_plink(const PlinkPaths& paths, const PlinkReadOptions& options, PlinkReader& r) {
  try {
    return open_fileset(paths, options, r);
  } catch (const std::bad_alloc&) {
    return plink_failure(PlinkStatus::kOutOfMemory, paths.bed, 0, "out of memory");
  }
}

PlinkFailure set_x_rule(PlinkReader& r, const std::vector<FamSex>& sex, XNonPar x_non_par) {
  if (sex.size() != r.fam.samples.size())
    return plink_failure(PlinkStatus::kBadOptions, r.paths.fam, 0,
                         "the sexes given are not one per sample of the .fam");
  const size_t populations = r.pops.names.size();
  std::vector<int32_t> group(sex.size(), -1);
  r.unknown_sex.assign(populations, 0);
  for (size_t j = 0; j < sex.size(); ++j) {
    const int32_t p = r.pops.of_sample[j];
    if (p < 0) continue;
    if (sex[j] == FamSex::kUnknown)
      ++r.unknown_sex[static_cast<size_t>(p)];
    else
      group[j] = 2 * p + (sex[j] == FamSex::kFemale ? 1 : 0);
  }
  try {
    r.x_groups = make_sample_groups(group, 2 * populations);
    r.x_counts.resize(2 * populations);
  } catch (const std::bad_alloc&) {
    return plink_failure(PlinkStatus::kOutOfMemory, r.paths.bed, 0, "out of memory");
  }
  r.x_non_par = std::move(x_non_par);
  return {};
}

PlinkFailure read_plink_block(PlinkReader& r, PlinkBlock& out, size_t max_sites) {
  clear_plink_block(out);
  r.pending.clear();
  r.text.clear();
  PlinkFailure failure;
  try {
    failure = fill_block(r, out, std::max<size_t>(max_sites, 1));
  } catch (const std::bad_alloc&) {
    failure = plink_failure(PlinkStatus::kOutOfMemory, r.paths.bed, 0, "out of memory");
  }
  if (!plink_ok(failure)) {
    r.done = true;
    clear_plink_block(out);
  }
  return failure;
}
