#pragma once
// A file mended in place after its multiplexer has closed it: read and written at offsets,
// closed when it goes out of scope.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace capture {

class InPlaceFile {
 public:
  explicit InPlaceFile(const std::string& path);
  ~InPlaceFile();
  InPlaceFile(const InPlaceFile&) = delete;
  InPlaceFile& operator=(const InPlaceFile&) = delete;

  bool IsOpen() const { return fd_ >= 0; }
  std::uint64_t Size() const;
  // Its first bytes, at most `limit` (fewer in a shorter file); empty when they cannot be read.
  std::vector<char> Head(std::size_t limit) const;
  // Whole reads and writes only: false when fewer bytes went.
  bool ReadAt(std::uint64_t at, void* out, std::size_t n) const;
  bool WriteAt(std::uint64_t at, const void* data, std::size_t n) const;
  bool Truncate(std::uint64_t size) const;
  bool Sync() const;
  int Descriptor() const { return fd_; }

 private:
  int fd_ = -1;
};

}  // namespace capture
