#include "batch/output_clash.h"

#include <sys/stat.h>
#include <unistd.h>

#include "fileio/file_identity.h"
#include "fileio/text_escape.h"

namespace {

// Rows on standard output go to a file only when it is a regular one;
// a terminal or a pipe cannot hold an input.
bool stdout_is_file() {
  struct stat st {};
  return ::fstat(STDOUT_FILENO, &st) == 0 && S_ISREG(st.st_mode);
}

std::string described(const NamedFile& file) {
  if (file.role == "standard output") return "standard output";
  if (file.role == "input" || file.role == "index")
    return "the " + file.role + " '" + escape_text(file.path) + "'";
  return "the file of " + file.role;
}

}  // namespace

bool outputs_clear_of_inputs(const Diagnostics& diagnostics, const std::vector<OptionFile>& outputs,
                             const std::vector<OptionFile>& named_inputs,
                             const std::vector<std::string>& inputs) {
  std::vector<NamedFile> out;
  if (stdout_is_file()) out.push_back(NamedFile{"standard output", "-"});
  for (const OptionFile& file : outputs) out.push_back(NamedFile{file.option, file.path});
  std::vector<NamedFile> in;
  for (const std::string& path : inputs) {
    in.push_back(NamedFile{"input", path});
    for (std::string& index : index_files_of(path)) in.push_back(NamedFile{"index", index});
  }
  for (const OptionFile& file : named_inputs)
    in.push_back(NamedFile{"file of " + file.option, file.path});
  const FileClash clash = find_file_clash(out, in);
  if (clash.output == nullptr) return true;
  const std::string what =
      clash.output->role == "standard output" ? "standard output" : clash.output->path;
  const std::string own = clash.output->role == "standard output"
                              ? "it"
                              : "the file of " + clash.output->role;
  std::string other = described(*clash.other);
  if (clash.other->role.rfind("file of ", 0) == 0) other = "the " + clash.other->role;
  report_failure(diagnostics, what, own + " is also " + other + "; nothing was written");
  return false;
}
