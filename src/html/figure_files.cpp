#include "html/figure_files.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <set>

#include "fileio/fd_io.h"
#include "fileio/unique_fd.h"

extern char** environ;

namespace {

constexpr size_t kLongestStem = 100;

bool kept(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_';
}

std::string lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

// CON, PRN, AUX, NUL, COM1-9 and LPT1-9 name devices on Windows, whatever
// the extension.
bool device_name(const std::string& stem) {
  const std::string s = lower(stem.substr(0, stem.find('.')));
  if (s == "con" || s == "prn" || s == "aux" || s == "nul") return true;
  return s.size() == 4 && (s.starts_with("com") || s.starts_with("lpt")) && s[3] >= '1' && s[3] <= '9';
}

std::string safe_stem(std::string_view stem) {
  std::string s;
  for (char c : stem) {
    const char k = kept(c) ? c : '_';
    if (k == '_' && !s.empty() && s.back() == '_') continue;
    s += k;
  }
  const auto edge = [](char c) { return c == '.' || c == '-' || c == '_'; };
  while (!s.empty() && edge(s.front())) s.erase(s.begin());
  if (s.size() > kLongestStem) s.resize(kLongestStem);
  while (!s.empty() && edge(s.back())) s.pop_back();
  if (s.empty()) s = "figure";
  if (device_name(s)) s += '_';
  return s;
}

// A path the converter cannot take for an option.
std::string argument_path(const std::string& path) {
  return path.starts_with("-") ? "./" + path : path;
}

// 0 or an errno.
int make_folder(const std::string& folder) {
  if (::mkdir(folder.c_str(), 0777) == 0) return 0;
  if (errno != EEXIST) return errno;
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0) return errno;
  return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
}

// The whole text under a temporary name, then renamed: 0 or an errno.
int write_whole(const std::string& path, const std::string& text) {
  const std::string part = path + ".part";
  UniqueFd fd(::open(part.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (!fd.is_open()) return errno;
  int error = 0;
  if (!write_all(fd.fd, text.data(), text.size())) error = errno != 0 ? errno : EIO;
  if (fd.close_now() != 0 && error == 0) error = errno;
  if (error == 0 && ::rename(part.c_str(), path.c_str()) != 0) error = errno;
  if (error != 0) ::unlink(part.c_str());
  return error;
}

enum class Run { kDone, kFailed, kMissing };

// The converter run to its end: its exit status in `status`.
Run run_converter(const std::string& converter, const std::string& svg, const std::string& pdf,
                  int& status) {
  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return Run::kFailed;
  for (int fd : {0, 1, 2})
    posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
  std::string args[] = {converter, "-f", "pdf", "-o", argument_path(pdf), argument_path(svg)};
  char* argv[] = {args[0].data(), args[1].data(), args[2].data(), args[3].data(),
                  args[4].data(), args[5].data(), nullptr};
  pid_t pid = 0;
  const int spawned = posix_spawnp(&pid, converter.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned == ENOENT || spawned == EACCES || spawned == ENOEXEC) return Run::kMissing;
  if (spawned != 0) return Run::kFailed;
  int wait_status = 0;
  while (::waitpid(pid, &wait_status, 0) < 0)
    if (errno != EINTR) return Run::kFailed;
  status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
  return status == 0 ? Run::kDone : Run::kFailed;
}

}  // namespace

std::vector<std::string> safe_file_names(const std::vector<std::string>& stems, std::string_view extension) {
  std::vector<std::string> names;
  std::set<std::string> taken;
  for (const std::string& stem : stems) {
    const std::string base = safe_stem(stem);
    std::string name = base;
    for (int n = 2; taken.contains(lower(name)); ++n) name = base + "_" + std::to_string(n);
    taken.insert(lower(name));
    names.push_back(name + std::string(extension));
  }
  return names;
}

FigureFolderResult write_figure_files(const std::string& folder, const std::vector<FigureFile>& files,
                                      const std::string& converter) {
  FigureFolderResult result;
  result.folder_error = make_folder(folder);
  if (result.folder_error != 0) return result;
  const std::string prefix = folder.ends_with("/") ? folder : folder + "/";
  bool convert = !converter.empty();
  for (const FigureFile& file : files) {
    FigureFileStatus s;
    s.svg_path = prefix + file.name;
    s.svg_error = write_whole(s.svg_path, file.svg);
    if (s.svg_error == 0 && convert) {
      const std::string stem = s.svg_path.substr(0, s.svg_path.size() - (file.name.ends_with(".svg") ? 4 : 0));
      s.pdf_path = stem + ".pdf";
      const std::string part = s.pdf_path + ".part";
      const Run run = run_converter(converter, s.svg_path, part, s.pdf_exit);
      if (run == Run::kMissing) {
        result.converter_missing = true;
        convert = false;
        s.pdf_path.clear();
      } else if (run == Run::kDone && ::rename(part.c_str(), s.pdf_path.c_str()) == 0) {
        s.pdf = PdfStatus::kWritten;
      } else {
        // No PDF of an earlier figure stays beside the new SVG.
        s.pdf = PdfStatus::kFailed;
        ::unlink(s.pdf_path.c_str());
      }
      ::unlink(part.c_str());
    }
    result.files.push_back(std::move(s));
  }
  return result;
}
