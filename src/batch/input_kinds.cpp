#include <algorithm>
#include <cstring>

#include "batch/input_kind.h"
#include "fileio/text_escape.h"

// Each defined in its own source file (src/batch/<kind>_source.cpp).
const InputKind& count_file_input();
const InputKind& vcf_input();
const InputKind& genepop_input();
const InputKind& plink_input();

namespace {

bool has_column(std::span<const std::string_view> header, const KindColumn& column) {
  return std::find(header.begin(), header.end(), column.name) != header.end();
}

}  // namespace

std::span<const InputKind* const> input_kinds() {
  // The registry: a new kind is one more line here.
  static const InputKind* const kinds[] = {
      &count_file_input(),
      &vcf_input(),
      &genepop_input(),
      &plink_input(),
  };
  return kinds;
}

const InputKind& find_input_kind(std::string_view name) {
  for (const InputKind* kind : input_kinds()) {
    if (name.empty() ? kind->syntax.option == nullptr : name == kind->syntax.name) return *kind;
  }
  return *input_kinds().front();
}

std::vector<InputSyntax> input_syntax() {
  std::vector<InputSyntax> out;
  for (const InputKind* kind : input_kinds()) out.push_back(kind->syntax);
  return out;
}

const InputKind& kind_of_header(std::span<const std::string_view> header) {
  const InputKind* best = nullptr;
  const std::span<const InputKind* const> kinds = input_kinds();
  for (const InputKind* kind : kinds) {
    const bool named = std::all_of(kind->id_columns.begin(), kind->id_columns.end(),
                                   [&](const KindColumn& c) { return has_column(header, c); });
    if (named && (best == nullptr || kind->id_columns.size() > best->id_columns.size()))
      best = kind;
  }
  if (best != nullptr) return *best;
  return **std::min_element(kinds.begin(), kinds.end(), [](const InputKind* a, const InputKind* b) {
    return a->id_columns.size() < b->id_columns.size();
  });
}

std::optional<size_t> id_column_with(const InputKind& kind, IdRole role) {
  for (size_t i = 0; i < kind.id_columns.size(); ++i) {
    if (kind.id_columns[i].role == role) return i;
  }
  return std::nullopt;
}

std::string reading_hint(const InputKind& kind, const char* path) {
  if (std::strcmp(path, "-") == 0) return "";
  const std::optional<FileFormat> format = detect_file_format_of(path);
  if (!format || format->content == FileContent::kUnknown) return "";
  const auto reads = [&](const InputKind& k) {
    return std::find(k.contents.begin(), k.contents.end(), format->content) != k.contents.end();
  };
  // A kind of filesets is given their prefix, never one of the files.
  if (reads(kind) && !kind.syntax.option_names_input) return "";
  for (const InputKind* other : input_kinds()) {
    if (other->syntax.option == nullptr || !reads(*other)) continue;
    std::string hint = std::string("a ") + content_name(format->content) + " file: read it with " +
                       other->syntax.option;
    if (other->syntax.option_names_input) {
      // A fileset is named by the prefix its files share.
      std::string_view prefix = path;
      const size_t dot = prefix.rfind('.');
      if (dot != std::string_view::npos && prefix.find('/', dot) == std::string_view::npos)
        prefix = prefix.substr(0, dot);
      hint.append(" ").append(escape_text(prefix)).append(" (the fileset's prefix)");
    }
    return hint;
  }
  return "";
}
