#include "fileio/file_identity.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "fileio/fd_io.h"

namespace {

FileIdentity identity_of(const struct stat& st) { return FileIdentity{st.st_dev, st.st_ino, {}}; }

// The directory part of a path, "." for a bare name.
std::string directory_of(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string last_name_of(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::optional<FileIdentity> identify_file(const std::string& path, bool is_output) {
  struct stat st {};
  if (path == "-") {
    if (::fstat(is_output ? STDOUT_FILENO : STDIN_FILENO, &st) != 0) return std::nullopt;
    return identity_of(st);
  }
  if (::stat(path.c_str(), &st) == 0) return identity_of(st);
  if (errno != ENOENT) return std::nullopt;
  if (::stat(directory_of(path).c_str(), &st) != 0) return std::nullopt;
  FileIdentity id = identity_of(st);
  id.missing_name = last_name_of(path);
  return id;
}

FileClash find_file_clash(std::span<const NamedFile> outputs, std::span<const NamedFile> inputs) {
  std::vector<std::optional<FileIdentity>> output_ids;
  output_ids.reserve(outputs.size());
  for (const NamedFile& output : outputs) output_ids.push_back(identify_file(output.path, true));
  std::vector<std::optional<FileIdentity>> input_ids;
  input_ids.reserve(inputs.size());
  for (const NamedFile& input : inputs) input_ids.push_back(identify_file(input.path, false));
  for (size_t o = 0; o < outputs.size(); ++o) {
    if (!output_ids[o]) continue;
    for (size_t i = 0; i < inputs.size(); ++i) {
      if (input_ids[i] == output_ids[o]) return FileClash{&outputs[o], &inputs[i], false};
    }
    for (size_t e = 0; e < o; ++e) {
      if (output_ids[e] == output_ids[o]) return FileClash{&outputs[o], &outputs[e], true};
    }
  }
  return FileClash{};
}

std::vector<std::string> index_files_of(const std::string& path) {
  std::vector<std::string> found;
  if (path == "-") return found;
  const size_t mark = path.find("##idx##");
  if (mark != std::string::npos) {
    found.push_back(path.substr(mark + 7));
    return found;
  }
  for (const char* suffix : {".tbi", ".csi"}) {
    const std::string candidate = path + suffix;
    if (::access(candidate.c_str(), F_OK) == 0) found.push_back(candidate);
  }
  return found;
}

ReplacingFile::~ReplacingFile() {
  if (fd >= 0) ::close(fd);
  if (!temp.empty()) ::unlink(temp.c_str());
}

bool open_replacing(ReplacingFile& file, const std::string& target) {
  file.target = target;
  struct stat st {};
  if (::stat(target.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    file.fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
    return file.fd >= 0;
  }
  std::string pattern = directory_of(target) + "/." + last_name_of(target) + ".XXXXXX";
  file.fd = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (file.fd < 0) return false;
  file.temp = pattern;
  // mkstemp makes the file 0600; a finished output gets what a new file
  // would have had.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  const mode_t mode = ::stat(target.c_str(), &st) == 0 ? (st.st_mode & 07777) : (0666 & ~mask);
  ::fchmod(file.fd, mode);
  return true;
}

bool commit_replacing(ReplacingFile& file, const std::string& text) {
  const bool written = write_all(file.fd, text.data(), text.size());
  const int saved = errno;
  const int closed = ::close(file.fd);
  file.fd = -1;
  if (!written || closed != 0) {
    if (!written) errno = saved;
    return false;
  }
  return put_in_place(file);
}

bool put_in_place(ReplacingFile& file) {
  if (file.fd >= 0 && ::close(file.fd) != 0) {
    file.fd = -1;
    return false;
  }
  file.fd = -1;
  if (file.temp.empty()) return true;
  if (::rename(file.temp.c_str(), file.target.c_str()) != 0) return false;
  file.temp.clear();
  return true;
}
