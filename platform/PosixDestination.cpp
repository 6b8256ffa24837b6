// SPDX-License-Identifier: GPL-3.0-or-later
// Creating saved folders and files relative to directory descriptors.
#include "PosixDestination.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace restora {

namespace {

// Descriptors kept open for the deepest folders; higher folders are closed and reopened by name
// on the way back up, so a deep tree cannot exhaust the process's descriptors.
constexpr size_t kOpenLevels = 64;
constexpr size_t kWriteBufferBytes = 256 * 1024;
constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

bool WriteAll(int fd, const uint8_t* data, size_t length) {
  while (length > 0) {
    const ssize_t done = ::write(fd, data, length);
    if (done < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += done;
    length -= static_cast<size_t>(done);
  }
  return true;
}

// A new regular file, written through a buffer so that cluster-sized pieces cost no system call
// each.
class PosixOutputFile final : public OutputFile {
 public:
  PosixOutputFile(int fd, bool keepTimes) : fd_(fd), keepTimes_(keepTimes) { buffer_.reserve(kWriteBufferBytes); }

  void SetTimes(const EntryTimes& times) override {
    if (keepTimes_) times_ = times;
  }
  ~PosixOutputFile() override {
    if (fd_ >= 0) ::close(fd_);
  }

  int Write(std::span<const uint8_t> bytes) override {
    if (!ok_) return 0;
    if (buffer_.size() + bytes.size() > kWriteBufferBytes) Flush();
    if (ok_ && bytes.size() >= kWriteBufferBytes) {
      ok_ = WriteAll(fd_, bytes.data(), bytes.size());
    } else if (ok_) {
      buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
    }
    return ok_ ? 1 : 0;
  }

  uint64_t AppendFromSource(const SourceReader& source, uint64_t byteOffset, uint64_t length) override {
    const int from = source.CopyHandle();
    if (!ok_ || from < 0) return 0;
    Flush();  // keep the order of what was appended
    if (!ok_) return 0;
    uint64_t copied = 0;
    auto offset = static_cast<off_t>(byteOffset);
    while (copied < length) {
      const ssize_t done = ::copy_file_range(from, &offset, fd_, nullptr, static_cast<size_t>(length - copied), 0);
      if (done < 0 && errno == EINTR) continue;
      if (done <= 0) break;  // not supported here, the source's end, or an error: the caller goes on
      copied += static_cast<uint64_t>(done);
    }
    return copied;
  }

  int Close() override {
    if (fd_ < 0) return 0;
    Flush();
    // After the last write, which would set the modification time again. A time the file system
    // cannot hold leaves the file as written: its data is what counts.
    if (ok_ && times_.known) {
      const struct timespec stamps[2] = {
          {static_cast<time_t>(times_.accessedSeconds), static_cast<long>(times_.accessedNanos)},
          {static_cast<time_t>(times_.modifiedSeconds), static_cast<long>(times_.modifiedNanos)}};
      (void)::futimens(fd_, stamps);
    }
    if (::close(fd_) != 0) ok_ = false;
    fd_ = -1;
    return ok_ ? 1 : 0;
  }

 private:
  void Flush() {
    if (ok_ && !buffer_.empty()) ok_ = WriteAll(fd_, buffer_.data(), buffer_.size());
    buffer_.clear();
  }

  int fd_;
  bool keepTimes_;
  EntryTimes times_;
  std::vector<uint8_t> buffer_;
  bool ok_ = true;
};

}  // namespace

PosixDestination::PosixDestination(int fd) { levels_.push_back(Level{".", fd}); }

PosixDestination::~PosixDestination() {
  for (const Level& level : levels_) {
    if (level.fd >= 0) ::close(level.fd);
  }
}

std::unique_ptr<PosixDestination> PosixDestination::Open(const std::string& folder, std::string* error,
                                                         bool makeMissing) {
  struct stat info {};
  std::string reason;
  if (makeMissing && ::stat(folder.c_str(), &info) != 0 && errno == ENOENT && ::mkdir(folder.c_str(), 0777) != 0) {
    reason = "cannot make " + folder + ": " + std::strerror(errno);
  } else if (::stat(folder.c_str(), &info) != 0) {
    reason = "cannot open " + folder + ": " + std::strerror(errno);
  } else if (!S_ISDIR(info.st_mode)) {
    reason = folder + " is not a folder";
  } else {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) return std::unique_ptr<PosixDestination>(new PosixDestination(fd));
    reason = "cannot open " + folder + ": " + std::strerror(errno);
  }
  if (error != nullptr) *error = reason;
  return nullptr;
}

void PosixDestination::FailErrno(int error) { lastError_ = std::strerror(error); }

bool PosixDestination::Acceptable(const std::string& name) {
  const bool oneComponent = !name.empty() && name.size() <= 255 && name != "." && name != ".." &&
                            name.find('/') == std::string::npos && name.find('\0') == std::string::npos;
  if (!oneComponent) {
    Fail("not a single file name");
    return false;
  }
  if (levels_.size() == 1 && name != kSaveFolderName) {
    Fail(std::string("only the folder ") + kSaveFolderName + " is made in the destination itself");
    return false;
  }
  return true;
}

int PosixDestination::CurrentFd() {
  const size_t top = levels_.size() - 1;
  if (levels_[top].fd >= 0) return levels_[top].fd;
  size_t open = top;
  while (levels_[open].fd < 0) --open;  // level 0 is never closed
  for (size_t p = open + 1; p <= top; ++p) {
    const int fd = ::openat(levels_[p - 1].fd, levels_[p].name.c_str(), kFolderFlags);
    if (fd < 0) {
      FailErrno(errno);
      return -1;
    }
    levels_[p].fd = fd;
    if (p - 1 > 0 && top - (p - 1) >= kOpenLevels) {
      ::close(levels_[p - 1].fd);
      levels_[p - 1].fd = -1;
    }
  }
  return levels_[top].fd;
}

CreateStatus PosixDestination::CreateFolder(const std::string& name) {
  if (!Acceptable(name)) return CreateStatus::Failed;
  const int parent = CurrentFd();
  if (parent < 0) return CreateStatus::Failed;
  if (::mkdirat(parent, name.c_str(), 0777) == 0) return CreateStatus::Done;
  if (errno == EEXIST) return CreateStatus::Exists;
  FailErrno(errno);
  return CreateStatus::Failed;
}

CreateStatus PosixDestination::CreateFile(const std::string& name, std::unique_ptr<OutputFile>* file) {
  if (!Acceptable(name)) return CreateStatus::Failed;
  const int parent = CurrentFd();
  if (parent < 0) return CreateStatus::Failed;
  // Not truncated on opening: what the name leads to is checked first. O_NONBLOCK keeps a FIFO
  // from blocking the open; O_NOFOLLOW refuses a symbolic link.
  const int fd = ::openat(parent, name.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
  if (fd < 0) {
    const int error = errno;
    if (error == EISDIR || error == ELOOP || error == ENXIO || error == EEXIST) return CreateStatus::Exists;
    FailErrno(error);
    return CreateStatus::Failed;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    FailErrno(errno);
    ::close(fd);
    return CreateStatus::Failed;
  }
  // Only a plain file of this tree may be replaced: not a device, a FIFO, a file with another
  // name elsewhere (a hard link), the source being recovered from, or a file of this save.
  const auto identity = std::make_pair(info.st_dev, info.st_ino);
  const bool isProtected =
      std::find(protected_.begin(), protected_.end(), identity) != protected_.end() || savedFiles_.count(identity) != 0;
  if (!S_ISREG(info.st_mode) || info.st_nlink > 1 || isProtected) {
    ::close(fd);
    return CreateStatus::Exists;
  }
  // A new file is empty already; truncating it anyway makes ext4 flush it on close.
  if (::fcntl(fd, F_SETFL, O_WRONLY) != 0 || (info.st_size != 0 && ::ftruncate(fd, 0) != 0)) {
    FailErrno(errno);
    ::close(fd);
    return CreateStatus::Failed;
  }
  savedFiles_.insert(identity);
  *file = std::make_unique<PosixOutputFile>(fd, keepTimes_);
  return CreateStatus::Done;
}

int PosixDestination::EnterFolder(const std::string& name) {
  if (!Acceptable(name)) return 0;
  const int parent = CurrentFd();
  if (parent < 0) return 0;
  const int fd = ::openat(parent, name.c_str(), kFolderFlags);
  if (fd < 0) {
    FailErrno(errno);
    return 0;
  }
  if (levels_.size() == 1) savedFiles_.clear();  // entering "#" begins a save
  levels_.push_back(Level{name, fd});
  const size_t top = levels_.size() - 1;
  if (top > kOpenLevels && levels_[top - kOpenLevels].fd >= 0) {
    ::close(levels_[top - kOpenLevels].fd);
    levels_[top - kOpenLevels].fd = -1;
  }
  return 1;
}

int PosixDestination::LeaveFolder() {
  if (levels_.size() == 1) {
    Fail("already in the destination folder");
    return 0;
  }
  if (levels_.back().fd >= 0) ::close(levels_.back().fd);
  levels_.pop_back();
  return CurrentFd() >= 0 ? 1 : 0;
}

}  // namespace restora
