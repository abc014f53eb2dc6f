#include "fileio/fd_io.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "fileio/unique_fd.h"

namespace {

TEST(FdIo, WholeWritesAndExactReadsAtAnOffset) {
  char name[] = "/tmp/hwmc_fdio_XXXXXX";
  UniqueFd file(mkstemp(name));
  ASSERT_TRUE(file.is_open());
  const std::string text(100000, 'x');
  EXPECT_TRUE(write_all(file.fd, text.data(), text.size()));
  EXPECT_TRUE(write_all(file.fd, "end", 3));
  char tail[3];
  EXPECT_TRUE(read_exact_at(file.fd, tail, 3, 100000));
  EXPECT_EQ(std::string(tail, 3), "end");
  EXPECT_FALSE(read_exact_at(file.fd, tail, 3, 100001));  // runs past the end
  EXPECT_EQ(read_at(file.fd, tail, 3, 100003), 0);
  EXPECT_EQ(file.close_now(), 0);
  EXPECT_FALSE(file.is_open());
  EXPECT_EQ(file.close_now(), 0);  // a second close does nothing
  ::unlink(name);
}

TEST(FdIo, FailuresAreReported) {
  UniqueFd full(::open("/dev/full", O_WRONLY | O_CLOEXEC));
  if (full.is_open()) {
    EXPECT_FALSE(write_all(full.fd, "x", 1));
  }
  char byte;
  EXPECT_FALSE(read_exact_at(-1, &byte, 1, 0));
  EXPECT_EQ(read_at(-1, &byte, 1, 0), -1);
}

}  // namespace
