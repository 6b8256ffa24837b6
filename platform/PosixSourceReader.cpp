// SPDX-License-Identifier: GPL-3.0-or-later
// Read-only access to devices and image files through pread.
#include "PosixSourceReader.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace restora {

std::unique_ptr<PosixSourceReader> PosixSourceReader::Wrap(int fd, const std::string& path, const struct stat& info) {
  // A block device tells its size only through the ioctl; its identity is the device it is.
  const bool blockDevice = S_ISBLK(info.st_mode);
  uint64_t size = static_cast<uint64_t>(info.st_size);
  if (blockDevice && ::ioctl(fd, BLKGETSIZE64, &size) != 0) size = 0;
  const uint64_t deviceId = blockDevice ? info.st_rdev : info.st_dev;
  return std::unique_ptr<PosixSourceReader>(new PosixSourceReader(fd, path, size, blockDevice, deviceId));
}

std::unique_ptr<PosixSourceReader> PosixSourceReader::Open(const std::string& path, std::string* error) {
  auto fail = [&](const std::string& message) {
    if (error != nullptr) *error = message;
    return nullptr;
  };
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return fail("cannot open " + path + ": " + std::strerror(errno));
  if (S_ISDIR(info.st_mode)) return fail(path + " is a directory");
  if (!S_ISREG(info.st_mode) && !S_ISBLK(info.st_mode)) return fail(path + " is neither a file nor a block device");
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return fail("cannot open " + path + ": " + std::strerror(errno));
  return Wrap(fd, path, info);
}

std::unique_ptr<PosixSourceReader> PosixSourceReader::Adopt(int fd, const std::string& path, std::string* error) {
  auto fail = [&](const std::string& message) {
    ::close(fd);
    if (error != nullptr) *error = message;
    return nullptr;
  };
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0) return fail("cannot use the descriptor of " + path + ": " + std::strerror(errno));
  if ((flags & O_ACCMODE) != O_RDONLY) return fail("refused a descriptor of " + path + " that is open for writing");
  struct stat info {};
  if (::fstat(fd, &info) != 0) return fail("cannot open " + path + ": " + std::strerror(errno));
  if (!S_ISREG(info.st_mode) && !S_ISBLK(info.st_mode)) return fail(path + " is neither a file nor a block device");
  return Wrap(fd, path, info);
}

PosixSourceReader::~PosixSourceReader() { ::close(fd_); }

int PosixSourceReader::ReadAt(uint64_t offset, std::span<uint8_t> buffer, size_t* delivered) {
  size_t done = 0;
  int ok = 1;
  while (done < buffer.size()) {
    const ssize_t got = ::pread(fd_, buffer.data() + done, buffer.size() - done, static_cast<off_t>(offset + done));
    if (got < 0) {
      if (errno == EINTR) continue;
      ok = 0;
      break;
    }
    if (got == 0) break;  // the end of the source
    done += static_cast<size_t>(got);
  }
  if (delivered != nullptr) *delivered = done;
  return ok;
}

void PosixSourceReader::AdviseSequential() { ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL); }

}  // namespace restora
