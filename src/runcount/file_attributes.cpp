#include "runcount/file_attributes.h"

#include <errno.h>
#include <sys/xattr.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr char kCapabilityName[] = "security.capability";

bool unsupported(int error) { return error == ENOTSUP || error == EOPNOTSUPP; }

// The attribute names of a file; false on failure. No support at all gives an
// empty list.
bool list_names(int fd, std::vector<std::string>& names) {
  names.clear();
  std::vector<char> buffer;
  for (;;) {
    const ssize_t size = ::flistxattr(fd, nullptr, 0);
    if (size < 0) return unsupported(errno);
    if (size == 0) return true;
    buffer.resize(static_cast<size_t>(size));
    const ssize_t got = ::flistxattr(fd, buffer.data(), buffer.size());
    if (got < 0 && errno == ERANGE) continue;  // grew in between
    if (got < 0) return false;
    for (size_t at = 0; at < static_cast<size_t>(got);) {
      const size_t length = ::strnlen(buffer.data() + at, static_cast<size_t>(got) - at);
      if (length > 0) names.emplace_back(buffer.data() + at, length);
      at += length + 1;
    }
    return true;
  }
}

bool read_value(int fd, const std::string& name, std::vector<char>& value) {
  for (;;) {
    const ssize_t size = ::fgetxattr(fd, name.c_str(), nullptr, 0);
    if (size < 0) return false;
    value.resize(static_cast<size_t>(size));
    if (size == 0) return true;
    const ssize_t got = ::fgetxattr(fd, name.c_str(), value.data(), value.size());
    if (got < 0 && errno == ERANGE) continue;
    if (got < 0) return false;
    value.resize(static_cast<size_t>(got));
    return true;
  }
}

bool contains(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

bool copy_extended_attributes(int from, int to) {
  std::vector<std::string> wanted, present;
  if (!list_names(from, wanted) || !list_names(to, present)) return false;
  for (const std::string& name : present) {
    if (!contains(wanted, name) && ::fremovexattr(to, name.c_str()) != 0 && errno != ENODATA)
      return false;
  }
  // Anything set after the capability could make the kernel drop it again.
  std::stable_partition(wanted.begin(), wanted.end(),
                        [](const std::string& name) { return name != kCapabilityName; });
  std::vector<char> value;
  for (const std::string& name : wanted) {
    if (!read_value(from, name, value)) return false;
    if (::fsetxattr(to, name.c_str(), value.data(), value.size(), 0) != 0) return false;
  }
  return true;
}
