#include "app/FileIO.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include "app/Exceptions.h"

namespace quillane {
namespace fs = std::filesystem;

namespace {
std::optional<size_t> WriteFailure;

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  return s;
}

class OFd {
public:
  explicit OFd(int fd) : Fd(fd) {}
  ~OFd() {
    if (Fd >= 0)
      ::close(Fd);
  }
  OFd(const OFd&) = delete;
  OFd& operator=(const OFd&) = delete;
  int Get() const { return Fd; }
  int Release() {
    int f = Fd;
    Fd = -1;
    return f;
  }

private:
  int Fd;
};
} // namespace

TBytes ReadFileBytes(const std::string& path) {
  OFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.Get() < 0)
    throw EFOpenError("Cannot open file \"" + path + "\". " + std::strerror(errno));
  struct stat st {};
  if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode))
    throw EFOpenError("Cannot open file \"" + path + "\". Not a regular file");
  TBytes bytes(static_cast<size_t>(st.st_size));
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::read(fd.Get(), bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0)
      throw EReadError();
    if (n == 0)
      break; // the file shrank under us: what we have is what it holds
    done += static_cast<size_t>(n);
  }
  bytes.resize(done);
  return bytes;
}

void WriteFileAtomic(const std::string& path, std::span<const uint8_t> bytes) {
  const std::span<const uint8_t> whole[] = {bytes};
  WriteFileAtomic(path, std::span<const std::span<const uint8_t>>(whole));
}

void WriteFileAtomic(const std::string& path, std::span<const std::span<const uint8_t>> parts) {
  std::string folder = FolderOf(path);
  std::string base = fs::path(path).filename().string();
  std::random_device rd;
  std::string temp;
  int raw = -1;
  for (int attempt = 0; attempt < 16 && raw < 0; ++attempt) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".%08x.tmp", static_cast<unsigned>(rd()));
    temp = JoinPath(folder.empty() ? std::string(".") : folder, "." + base + suffix);
    raw = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (raw < 0 && errno != EEXIST)
      break;
  }
  if (raw < 0)
    throw EFCreateError("Cannot create file \"" + path + "\". " + std::strerror(errno));
  OFd fd(raw);

  auto fail = [&](const char* why) {
    ::close(fd.Release());
    ::unlink(temp.c_str());
    throw EWriteError(std::string("Stream write error") + (why ? std::string(": ") + why : ""));
  };

  size_t total = 0;
  for (const auto& part : parts)
    total += part.size();
  size_t limit = total;
  if (WriteFailure && *WriteFailure < limit)
    limit = *WriteFailure;
  // Gather the parts a batch at a time; a short write resumes where it stopped.
  size_t done = 0, index = 0, offset = 0;
  std::vector<iovec> batch;
  while (done < limit) {
    batch.clear();
    size_t room = limit - done;
    for (size_t i = index, o = offset; i < parts.size() && batch.size() < 1024 && room > 0; ++i, o = 0) {
      const size_t n = std::min(parts[i].size() - o, room);
      if (n > 0)
        batch.push_back({const_cast<uint8_t*>(parts[i].data() + o), n});
      room -= n;
    }
    ssize_t n = ::writev(fd.Get(), batch.data(), static_cast<int>(batch.size()));
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      fail(std::strerror(errno));
    done += static_cast<size_t>(n);
    for (size_t left = static_cast<size_t>(n); left > 0;) {
      const size_t step = std::min(parts[index].size() - offset, left);
      left -= step;
      offset += step;
      if (offset == parts[index].size()) {
        ++index;
        offset = 0;
      }
    }
  }
  if (done < total)
    fail(nullptr);
  if (::fsync(fd.Get()) != 0)
    fail(std::strerror(errno));
  // Keep the old file's permissions where there was one.
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0)
    ::fchmod(fd.Get(), st.st_mode & 07777);
  if (::close(fd.Release()) != 0) {
    ::unlink(temp.c_str());
    throw EWriteError();
  }
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    int e = errno;
    ::unlink(temp.c_str());
    throw EWriteError(std::string("Stream write error: ") + std::strerror(e));
  }
}

bool FileExists(const std::string& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec);
}

std::string FolderOf(const std::string& path) {
  size_t cut = path.find_last_of('/');
  if (cut == std::string::npos)
    return "";
  if (cut == 0)
    return "/";
  return path.substr(0, cut);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty())
    return name;
  if (folder.back() == '/')
    return folder + name;
  return folder + "/" + name;
}

std::optional<std::string> FindFileIgnoringCase(const std::string& folder,
                                                const std::string& name) {
  std::string exact = JoinPath(folder, name);
  if (FileExists(exact))
    return exact;
  std::error_code ec;
  std::string wanted = Lower(name);
  std::optional<std::string> found;
  for (fs::directory_iterator it(folder.empty() ? "." : folder, ec), end; !ec && it != end;
       it.increment(ec)) {
    std::string candidate = it->path().filename().string();
    if (Lower(candidate) != wanted || !it->is_regular_file(ec))
      continue;
    // Several spellings: take the first in name order so the choice does not depend on
    // the directory's order.
    std::string full = JoinPath(folder, candidate);
    if (!found || full < *found)
      found = full;
  }
  return found;
}

void SetWriteFailureForTesting(std::optional<size_t> failAfterBytes) {
  WriteFailure = failAfterBytes;
}

} // namespace quillane
