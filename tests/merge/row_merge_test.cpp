#include "merge/row_merge.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "report/temp_dir.h"

namespace {

const std::string kHeader = "file\tlocus\tx2\tp_lead\tq_bh\tnote\n";
// What a row table must name (hwmc's are longer).
const std::vector<std::string> kEveryRow = {"file", "x2"};

// Enough digits to see any difference in a q value.
std::string exact_digits(double value) {
  char buffer[64];
  const auto r = std::to_chars(buffer, buffer + sizeof buffer, value,
                               std::chars_format::general, 17);
  return std::string(buffer, r.ptr);
}

struct Merged {
  RowScan scan;
  MergeFailure failure;
  std::string text;
};

Merged merge(const std::vector<std::string>& paths) {
  Merged m;
  m.scan = scan_row_tables(paths, kEveryRow);
  if (m.scan.failure.failed) return m;
  char* data = nullptr;
  size_t size = 0;
  std::FILE* out = ::open_memstream(&data, &size);
  m.failure = write_merged_rows(m.scan, paths, out, exact_digits);
  std::fclose(out);
  m.text.assign(data, size);
  std::free(data);
  return m;
}

std::string scan_failure(const std::vector<std::string>& paths,
                         const UnitKeyColumns& unit_key = {}) {
  const RowScan scan = scan_row_tables(paths, kEveryRow, {}, {}, unit_key);
  return scan.failure.failed ? scan.failure.file + ": " + scan.failure.reason : "";
}

TEST(RowMerge, RowsInTableOrderWithQAdjustedOverAllOfThem) {
  TempDir dir;
  // Odd cells (an escaped tab, a carriage return, an empty cell) pass
  // unchanged; the old q values are wrong on purpose.
  const std::string a = dir.write("a.tsv", kHeader +
                                               "a\\tb\tL1\t1.5\t0.01\t9\tx\r\n"
                                               "a\\tb\tL2\tNA\tNA\tNA\t\n");
  const std::string b = dir.write("b.tsv", kHeader +
                                               "b\tL1\t2\t0.04\t0.5\tyy\n"
                                               "b\tL2\t3\t0.03\t7\t\n"
                                               "b\tL3\t4\t0.9\t0.9\tz\n");
  const std::string empty_rows = dir.write("c.tsv", kHeader);
  const Merged m = merge({a, empty_rows, b});
  ASSERT_FALSE(m.scan.failure.failed) << m.scan.failure.reason;
  ASSERT_FALSE(m.failure.failed) << m.failure.reason;
  // Four p values, 0.01 0.04 0.03 0.9: q is 4/rank * p, lowered to the q
  // of the next larger p, over m = 4 (the NA row does not count).
  const double q1 = 4.0 / 1 * 0.01, q4 = 4.0 / 4 * 0.9;
  const double q23 = std::min(4.0 / 3 * 0.04, 4.0 / 2 * 0.03);
  EXPECT_EQ(m.text, kHeader +
                        "a\\tb\tL1\t1.5\t0.01\t" + exact_digits(std::min(q1, q23)) + "\tx\r\n"
                        "a\\tb\tL2\tNA\tNA\tNA\t\n"
                        "b\tL1\t2\t0.04\t" + exact_digits(q23) + "\tyy\n"
                        "b\tL2\t3\t0.03\t" + exact_digits(q23) + "\t\n"
                        "b\tL3\t4\t0.9\t" + exact_digits(q4) + "\tz\n");
}

TEST(RowMerge, TablesWithoutQAreJoinedUnderOneHeader) {
  TempDir dir;
  // A count-file run's columns: nothing is adjusted, any cell passes as it
  // is (even one that reads like a p-value out of range).
  const std::string header = "file\tx2\tp_x2\n";
  const std::string a = dir.write("a.tsv", header + "a\t1.5\t2\nb\\t\t\tNA\r\n");
  const std::string b = dir.write("b.tsv", header + "c\t0\t1\n");
  const Merged m = merge({a, dir.write("none.tsv", header), b, a});
  ASSERT_FALSE(m.scan.failure.failed) << m.scan.failure.reason;
  ASSERT_FALSE(m.failure.failed) << m.failure.reason;
  EXPECT_FALSE(m.scan.q_column.has_value());
  EXPECT_EQ(m.text, header + "a\t1.5\t2\nb\\t\t\tNA\r\nc\t0\t1\na\t1.5\t2\nb\\t\t\tNA\r\n");
  // The same checks of every line as with q_bh.
  EXPECT_EQ(scan_failure({a, dir.write("short.tsv", header + "c\t0\n")}),
            dir.file("short.tsv") + ": line 2: 2 cells, the header has 3");
  EXPECT_EQ(scan_failure({a, dir.write("open.tsv", header + "c\t0\t1")}),
            dir.file("open.tsv") + ": line 2: no line feed at the end");
  EXPECT_EQ(scan_failure({a, dir.write("cat.tsv", header + "c\t0\t1\n" + header)}),
            dir.file("cat.tsv") + ": line 3: the header again");
  EXPECT_EQ(scan_failure({a, dir.write("q.tsv", kHeader)}),
            dir.file("q.tsv") + ": header differs from that of " + a);
}

TEST(RowMerge, TablesThatCannotBeMergedNameTheFileAndTheReason) {
  TempDir dir;
  const std::string good = dir.write("good.tsv", kHeader + "f\tL\t1\t0.5\t0.5\tn\n");
  const auto fails = [&](const std::string& bytes) {
    return scan_failure({good, dir.write("bad.tsv", bytes)});
  };
  const std::string bad = dir.file("bad.tsv") + ": ";
  EXPECT_EQ(fails(""), bad + "empty file");
  EXPECT_EQ(fails("file\tlocus\tx2\tp_lead\tq_bh\n"), bad + "header differs from that of " + good);
  const auto not_a_table = [&](const std::string& header) {
    return scan_failure({good, dir.write("other.tsv", header + "\n")});
  };
  const std::string other = dir.file("other.tsv") + ": ";
  EXPECT_EQ(not_a_table("file\tk\tn"), other + "not an hwmc row table (no column 'x2')");
  EXPECT_EQ(not_a_table("file\tx2\tp_lead\tq_bh\tp_lead"),
            other + "not an hwmc row table (column 'p_lead' twice)");
  EXPECT_EQ(not_a_table("file\tx2\tx2"), other + "not an hwmc row table (column 'x2' twice)");
  // Chosen columns may keep p_lead without q_bh: nothing to adjust, joined.
  EXPECT_EQ(scan_failure({dir.write("lead.tsv", "file\tx2\tp_lead\nf\t1\t0.5\n")}), "");
  EXPECT_EQ(not_a_table("file\tx2\tq_bh"),
            other + "q_bh cannot be adjusted again: no p_lead column beside it");
  EXPECT_EQ(scan_failure({dir.write("noend.tsv", "file\tx2")}),
            dir.file("noend.tsv") + ": line 1: no line feed at the end");
  EXPECT_EQ(fails(kHeader + "f\tL\t1\t0.5\t0.5\tn\nf\tL\t1\t0.5\t0.5\n"),
            bad + "line 3: 5 cells, the header has 6");
  EXPECT_EQ(fails(kHeader + "f\tL\t1\t0.5\t0.5\tn"), bad + "line 2: no line feed at the end");
  EXPECT_EQ(fails(kHeader + "\n"), bad + "line 2: 1 cells, the header has 6");
  for (const char* lead : {"", "nan", "1.5", "-0", "-0.1", "0.5x", " 0.5", "inf", "+0.5"})
    EXPECT_EQ(fails(kHeader + "f\tL\t1\t" + lead + "\t0.5\tn\n"),
              bad + "line 2: p_lead is not a p-value: '" + lead + "'")
        << lead;
  // A cell from the table is escaped in the reason.
  EXPECT_EQ(fails(kHeader + "f\tL\t1\t0.5\x01\xff\t0.5\tn\n"),
            bad + "line 2: p_lead is not a p-value: '0.5\\x01\\xFF'");
  EXPECT_EQ(not_a_table("file\tx2\tx\r\tx\r"),
            other + "not an hwmc row table (column 'x\\r' twice)");
  EXPECT_EQ(fails(kHeader + "f\tL\t1\t0\t0\tn\nf\tL\t1\t1\t1\tn\nf\tL\t1\t1e-300\t1\tn\n"), "");
  EXPECT_EQ(scan_failure({good, dir.file("missing.tsv")}),
            dir.file("missing.tsv") + ": cannot open file: No such file or directory");
  EXPECT_EQ(scan_failure({dir.path}), dir.path + ": is a directory");
  EXPECT_EQ(scan_failure({"/dev/null"}),
            "/dev/null: not a regular file (a merge reads every table twice)");
}

TEST(RowMerge, ATableChangedBetweenThePassesFailsTheMerge) {
  TempDir dir;
  const std::string a = dir.write("a.tsv", kHeader + "f\tL\t1\t0.5\t0.5\tn\n");
  const std::vector<std::string> paths = {a};
  const RowScan scan = scan_row_tables(paths, kEveryRow);
  ASSERT_FALSE(scan.failure.failed);
  dir.write("a.tsv", kHeader + "f\tL\t1\t0.5\t0.5\tn\nf\tL\t1\t0.5\t0.5\tn\n");
  std::FILE* out = std::tmpfile();
  const MergeFailure failure = write_merged_rows(scan, paths, out, exact_digits);
  std::fclose(out);
  EXPECT_TRUE(failure.failed && !failure.output);
  EXPECT_EQ(failure.file + ": " + failure.reason, a + ": changed while being merged");
}

TEST(RowMerge, AnOutputThatTakesNothingIsAnOutputFailure) {
  TempDir dir;
  const std::vector<std::string> paths = {dir.write("a.tsv", kHeader + "f\tL\t1\t0.5\t0.5\tn\n")};
  const RowScan scan = scan_row_tables(paths, kEveryRow);
  std::FILE* full = std::fopen("/dev/full", "wb");
  ASSERT_NE(full, nullptr);
  const MergeFailure failure = write_merged_rows(scan, paths, full, exact_digits);
  std::fclose(full);
  EXPECT_TRUE(failure.failed && failure.output);
}

// Tables of units keyed by file and locus, with a seed column.
const std::string kSeeded = "file\tlocus\tx2\tseed\tp_lead\tq_bh\n";

std::string keyed_failure(const std::vector<std::string>& paths) {
  return scan_failure(paths, [](std::string_view) {
    return std::vector<std::string>{"file", "locus", "absent"};
  });
}

TEST(RowMerge, AUnitInTwoTablesIsRefusedWithBothPlaces) {
  TempDir dir;
  const std::string a = dir.write("a.tsv", kSeeded +
                                               "f\tL1\t1\t\t0.5\t0.5\n"
                                               "f\tL2\t1\t\t0.5\t0.5\n");
  // The same unit twice in one table is a file's identical records.
  const std::string b = dir.write("b.tsv", kSeeded +
                                               "g\tL1\t1\t\t0.5\t0.5\n"
                                               "g\tL1\t1\t\t0.5\t0.5\n"
                                               "g\tL3\t1\t\t0.5\t0.5\n");
  EXPECT_EQ(keyed_failure({a, b}), "");
  // Cells that only join to the same text are other units.
  const std::string joined = dir.write("j.tsv", kSeeded + "fL\t2\t1\t\t0.5\t0.5\n"
                                                              "f\tL\t1\t\t0.5\t0.5\n");
  EXPECT_EQ(keyed_failure({a, b, joined}), "");
  const std::string c = dir.write("c.tsv", kSeeded +
                                               "h\tL1\t1\t\t0.5\t0.5\n"
                                               "g\tL\x01\t1\t\t0.5\t0.5\n"
                                               "g\tL1\t1\t\t0.5\t0.5\n");
  EXPECT_EQ(keyed_failure({a, b, c}),
            c + ": line 4: the unit file=g locus=L1 is also in '" + b +
                "' (line 2): a unit may be in one part only");
  // Without key columns nothing is compared.
  EXPECT_EQ(scan_failure({a, a}), "");
}

TEST(RowMerge, AMergedTableBesideItsPartOrACopyIsNamed) {
  TempDir dir;
  const std::string rows = "f\tL1\t1\t\t0.5\t0.5\nf\tL2\t1\t\t0.5\t0.5\n";
  const std::string part = dir.write("part.tsv", kSeeded + rows);
  const std::string copy = dir.write("copy.tsv", kSeeded + rows);
  const std::string merged =
      dir.write("merged.tsv", kSeeded + "e\tL1\t1\t\t0.5\t0.5\n" + rows);
  EXPECT_EQ(keyed_failure({merged, part}),
            part + ": line 2: the unit file=f locus=L1 is also in '" + merged +
                "' (line 3): a unit may be in one part only; '" + merged +
                "' holds every unit of '" + part +
                "' (a merged table given beside one of its parts?)");
  EXPECT_EQ(keyed_failure({part, merged}),
            merged + ": line 3: the unit file=f locus=L1 is also in '" + part +
                "' (line 2): a unit may be in one part only; '" + merged +
                "' holds every unit of '" + part +
                "' (a merged table given beside one of its parts?)");
  EXPECT_EQ(keyed_failure({part, copy}),
            copy + ": line 2: the unit file=f locus=L1 is also in '" + part +
                "' (line 2): a unit may be in one part only; the two tables hold the same "
                "units (one part given twice?)");
}

TEST(RowMerge, PartsWithDifferentSeedsAreRefused) {
  TempDir dir;
  const std::string a = dir.write("a.tsv", kSeeded + "f\tL1\t1\t7\t0.5\t0.5\n"
                                                     "f\tL2\t1\t\t0.5\t0.5\n");
  const std::string same = dir.write("same.tsv", kSeeded + "g\tL1\t1\t7\t0.5\t0.5\n");
  const std::string unseeded = dir.write("none.tsv", kSeeded + "h\tL1\t1\t\t0.5\t0.5\n");
  const std::string other = dir.write("other.tsv", kSeeded + "i\tL1\t1\t\t0.5\t0.5\n"
                                                             "i\tL2\t1\t8\t0.5\t0.5\n");
  EXPECT_EQ(keyed_failure({a, unseeded, same}), "");
  EXPECT_EQ(keyed_failure({a, unseeded, same, other}),
            other + ": seeded with 8, '" + a +
                "' with 7: the parts of one run share its seed (give every part the same "
                "--seed)");
  // A table whose units were seeded one by one from the clock has no seed
  // of its run to compare.
  const std::string clock = dir.write("clock.tsv", kSeeded + "j\tL1\t1\t100\t0.5\t0.5\n"
                                                             "j\tL2\t1\t101\t0.5\t0.5\n");
  EXPECT_EQ(keyed_failure({a, clock}), "");
}

}  // namespace
