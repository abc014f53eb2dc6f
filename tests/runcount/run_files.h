// Files for the run counter's tests: a private folder removed with its
// contents, and program-like files with a marker at a chosen offset.
#pragma once

#include <dirent.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using Bytes = std::vector<char>;

struct RunTempDir {
  std::string path;
  RunTempDir() {
    char name[] = "/tmp/hwmc-runcount-XXXXXX";
    if (mkdtemp(name) != nullptr) path = name;
  }
  ~RunTempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
  std::string file(const std::string& name) const { return path + "/" + name; }
  // Names in the folder, "." and ".." left out.
  std::vector<std::string> entries() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(path)) {
      names.push_back(e.path().filename().string());
    }
    return names;
  }
};

inline void write_bytes(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline Bytes read_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// `size` bytes of filler (never '0') with `text` placed at `offset`.
inline Bytes program_bytes(size_t size, size_t offset, const std::string& text) {
  Bytes bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>('A' + i % 26);
  for (size_t i = 0; i < text.size(); ++i) bytes[offset + i] = text[i];
  return bytes;
}

inline std::string marker_with(const std::string& number) {
  return std::string("000000000") + number + std::string(1, '\0');
}

inline mode_t file_mode(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return 0;
  return st.st_mode & 07777;
}
