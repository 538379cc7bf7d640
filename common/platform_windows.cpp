// The platform layer on Windows.  File names are UTF-8 inside the programs
// and UTF-16 towards the system, so every name Explorer can show works,
// whatever the ANSI code page is.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <cwchar>
#include <vector>

#include "platform.h"

namespace platform {

namespace {

std::wstring Wide(const char* utf8) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
  if (n <= 0) return L"";
  std::wstring w(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8, -1, w.data(), n);
  w.resize(static_cast<std::size_t>(n - 1));
  return w;
}

std::string Utf8(const wchar_t* wide) {
  const int n =
      WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return "";
  std::string s(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, -1, s.data(), n, nullptr, nullptr);
  s.resize(static_cast<std::size_t>(n - 1));
  return s;
}

// errno for the last failed Windows call.
int ErrnoFromLastError() {
  switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return EACCES;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    default:
      return EIO;
  }
}

// The folder that holds path ("." for a bare name).
std::wstring FolderOf(const std::wstring& path) {
  const std::size_t sep = path.find_last_of(L"\\/");
  if (sep == std::wstring::npos) return L".";
  return path.substr(0, sep + 1);
}

bool WriteFd(int fd, const void* data, std::size_t size) {
  const auto* p = static_cast<const unsigned char*>(data);
  while (size > 0) {
    const unsigned chunk =
        size > 0x40000000 ? 0x40000000U : static_cast<unsigned>(size);
    const int n = _write(fd, p, chunk);
    if (n < 0) return false;
    p += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// Writes, syncs (_commit is FlushFileBuffers) and closes fd; on failure fd
// is closed too and errno says what failed first.
bool FinishFd(int fd, const void* data, std::size_t size, bool cut) {
  bool ok = WriteFd(fd, data, size) &&
            (!cut || _chsize_s(fd, static_cast<__int64>(size)) == 0) &&
            _commit(fd) == 0;
  const int err = errno;
  if (_close(fd) != 0 && ok) return false;
  errno = err;
  return ok;
}

bool WriteInPlace(const WriteTarget& target, const void* data,
                  std::size_t size) {
  const int fd =
      _wopen(Wide(target.path.c_str()).c_str(), _O_WRONLY | _O_BINARY);
  if (fd < 0) return false;
  return FinishFd(fd, data, size, true);
}

bool Replace(const WriteTarget& target, const void* data, std::size_t size) {
  // A name no one else holds, created with _O_EXCL: a second run, or a file
  // of the user's, is never opened or truncated.
  const std::wstring path = Wide(target.path.c_str());
  std::wstring temp;
  int fd = -1;
  for (unsigned attempt = 0; fd < 0 && attempt < 1000; ++attempt) {
    wchar_t suffix[32];
    std::swprintf(suffix, 32, L".tmp-%lx%03u",
                  static_cast<unsigned long>(GetCurrentProcessId()), attempt);
    temp = path + suffix;
    fd = _wopen(temp.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY,
                _S_IREAD | _S_IWRITE);
    if (fd < 0 && errno != EEXIST) return false;
  }
  if (fd < 0) return false;
  if (FinishFd(fd, data, size, false) &&
      MoveFileExW(temp.c_str(), path.c_str(),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0)
    return true;
  const int err = errno != 0 ? errno : ErrnoFromLastError();
  _wunlink(temp.c_str());
  errno = err;
  return false;
}

}  // namespace

std::FILE* OpenStream(const char* path, const char* mode) {
  return _wfopen(Wide(path).c_str(), Wide(mode).c_str());
}

}  // namespace platform

// The C runtime's own wide-character split of the command line (the one a
// wmain would get), from msvcrt itself, so no DLL beyond it is needed.
struct _startupinfo;
extern "C" int __wgetmainargs(int* argc, wchar_t*** argv, wchar_t*** env,
                              int glob, _startupinfo* info);

namespace platform {

std::string PathArgument(char** argv, int i) {
  int argc = 0;
  wchar_t** wargv = nullptr;
  wchar_t** wenv = nullptr;
  int info[1] = {0};
  if (__wgetmainargs(&argc, &wargv, &wenv, 0,
                     reinterpret_cast<_startupinfo*>(info)) < 0 ||
      i >= argc)
    return argv[i];
  return Utf8(wargv[i]);
}

bool FileSize(std::FILE* f, std::uint64_t* size, const char** why) {
  *why = nullptr;
  struct _stat64 st {};
  if (_fstat64(_fileno(f), &st) != 0) return false;
  if ((st.st_mode & _S_IFREG) == 0) {
    *why = "not a regular file";
    return false;
  }
  *size = static_cast<std::uint64_t>(st.st_size);
  return true;
}

std::string NativeLineEnds(const std::string& text) {
  std::string crlf;
  crlf.reserve(text.size() + text.size() / 16);
  for (const char c : text) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  return crlf;
}

bool IsTerminal(std::FILE* /*f*/) { return false; }

bool ResolveForWrite(const char* name, WriteTarget* target, const char** why) {
  *why = nullptr;
  const std::wstring path = Wide(name);
  target->path = name;
  const DWORD attrs = GetFileAttributesW(path.c_str());
  if (attrs == INVALID_FILE_ATTRIBUTES) {
    const DWORD err = GetLastError();
    if (err != ERROR_FILE_NOT_FOUND) {
      errno = ErrnoFromLastError();
      return false;
    }
    const DWORD folder = GetFileAttributesW(FolderOf(path).c_str());
    if (folder == INVALID_FILE_ATTRIBUTES ||
        (folder & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      errno = ENOENT;
      return false;
    }
    target->exists = false;
    target->in_place = false;
    return true;
  }
  if ((attrs & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    errno = EISDIR;
    return false;
  }
  if ((attrs & FILE_ATTRIBUTE_READONLY) != 0) {
    errno = EACCES;
    return false;
  }
  target->exists = true;
  // A second hard link would keep the old table after a rename: then the
  // file itself is rewritten.
  target->in_place = false;
  HANDLE h = CreateFileW(
      path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileInformationByHandle(h, &info) != 0)
      target->in_place = info.nNumberOfLinks > 1;
    CloseHandle(h);
  }
  return true;
}

bool WriteWhole(const WriteTarget& target, const void* data, std::size_t size) {
  errno = 0;
  return target.in_place ? WriteInPlace(target, data, size)
                         : Replace(target, data, size);
}

}  // namespace platform
