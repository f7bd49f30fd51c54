#include "engine/in_place_file.h"

#include <algorithm>

#include <fcntl.h>
#include <unistd.h>

namespace capture {

InPlaceFile::InPlaceFile(const std::string& path) : fd_(open(path.c_str(), O_RDWR | O_CLOEXEC)) {}

InPlaceFile::~InPlaceFile() {
  if (fd_ >= 0) close(fd_);
}

std::uint64_t InPlaceFile::Size() const {
  const off_t size = fd_ >= 0 ? lseek(fd_, 0, SEEK_END) : -1;
  return size > 0 ? std::uint64_t(size) : 0;
}

std::vector<char> InPlaceFile::Head(std::size_t limit) const {
  std::vector<char> head(std::size_t(std::min<std::uint64_t>(Size(), limit)));
  if (!ReadAt(0, head.data(), head.size())) head.clear();
  return head;
}

bool InPlaceFile::ReadAt(std::uint64_t at, void* out, std::size_t n) const {
  return fd_ >= 0 && pread(fd_, out, n, off_t(at)) == ssize_t(n);
}

bool InPlaceFile::WriteAt(std::uint64_t at, const void* data, std::size_t n) const {
  return fd_ >= 0 && pwrite(fd_, data, n, off_t(at)) == ssize_t(n);
}

bool InPlaceFile::Truncate(std::uint64_t size) const { return fd_ >= 0 && ftruncate(fd_, off_t(size)) == 0; }

bool InPlaceFile::Sync() const { return fd_ >= 0 && fsync(fd_) == 0; }

}  // namespace capture
