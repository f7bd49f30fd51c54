// The still picture of the capture engine: the grabber's newest frame as a BMP file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "engine/capture_engine.h"
#include "engine/gst_errors.h"
#include "engine/still_from_file.h"

using namespace capture;

namespace capture {

namespace {

void Put16(std::uint8_t* p, std::uint16_t v) {
  p[0] = std::uint8_t(v);
  p[1] = std::uint8_t(v >> 8);
}
void Put32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = std::uint8_t(v >> (8 * i));
}

}  // namespace

// Writes the whole block; removes a regular file it could not complete.
HRESULT WriteWholeFile(const std::string& fileName, const std::vector<std::uint8_t>& block) {
  const int fd = ::open(fileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return HResultFromErrno(errno);
  std::size_t done = 0;
  int error = 0;
  while (done < block.size()) {
    const ssize_t n = ::write(fd, block.data() + done, block.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = n < 0 ? errno : ENOSPC;
      break;
    }
    done += std::size_t(n);
  }
  if (::close(fd) != 0 && !error) error = errno;
  if (!error) return com::S_OK;
  // A half-written picture is worse than none; never touch what is not a plain file (/dev/...).
  struct stat st {};
  if (::stat(fileName.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::unlink(fileName.c_str());
  return HResultFromErrno(error);
}

}  // namespace capture

HRESULT CCaptureEngine::SaveGrabberBitmap(const std::string& fileName) {
  // Without a grabber the answer is why the last build did not run, when it did not.
  if (!Grabber()) return Failed(buildFailure_) ? buildFailure_ : com::E_FAIL;
  // A camera that stopped (unplugged, failed) leaves its last frame in the grabber: a photo
  // taken now would show the past. The stream's failure is the answer instead.
  if (const HRESULT failure = graph_.StreamError(); Failed(failure)) return failure;
  const std::int32_t width = frameHeader_.biWidth;
  const std::int32_t height = std::abs(frameHeader_.biHeight);
  const std::uint32_t row = (std::uint32_t(std::abs(width)) * 3 + 3) & ~3u;
  const std::uint32_t imageSize = row * std::uint32_t(height);
  std::vector<std::uint8_t> block(std::size_t(imageSize) + 54, 0);
  std::uint8_t* h = block.data();
  h[0] = 'B';
  h[1] = 'M';
  Put32(h + 2, imageSize + 54);
  Put32(h + 10, 54);
  Put32(h + 14, 40);
  Put32(h + 18, std::uint32_t(width));
  Put32(h + 22, std::uint32_t(frameHeader_.biHeight));
  Put16(h + 26, 1);
  Put16(h + 28, 24);
  Put32(h + 30, 0);
  Put32(h + 34, imageSize);

  std::int32_t copied = static_cast<std::int32_t>(imageSize);
  const HRESULT result = GetGrabberBuffer(Grabber(), &copied, block.data() + 54);
  if (Failed(result)) return result;  // no file is touched
  // A frame of another size than the header says would give a picture that lies.
  if (std::uint32_t(copied) != imageSize) return com::VFW_E_WRONG_STATE;
  const HRESULT written = WriteWholeFile(fileName, block);
  return Failed(written) ? written : result;
}
