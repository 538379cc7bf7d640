// The platform layer on Windows (Vista and later).  File names are UTF-8
// inside the programs and UTF-16 towards the system, so every name Explorer
// can show works, whatever the ANSI code page is.
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0600  // GetFinalPathNameByHandleW
#endif
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

// Rewrites the file itself (created where it is missing, as through a
// dangling link), cut to size and synced.
bool WriteInPlace(const WriteTarget& target, const void* data,
                  std::size_t size) {
  const int fd = _wopen(Wide(target.path.c_str()).c_str(),
                        _O_WRONLY | _O_CREAT | _O_BINARY, _S_IREAD | _S_IWRITE);
  if (fd < 0) return false;
  return FinishFd(fd, data, size, true);
}

// Gives the file `to` the attributes and the DACL of the file `from` (which
// is not read-only: that is refused earlier); false if that fails.
bool CarryOver(const std::wstring& from, const std::wstring& to) {
  const DWORD attrs = GetFileAttributesW(from.c_str());
  if (attrs == INVALID_FILE_ATTRIBUTES) return false;
  DWORD size = 0;
  GetFileSecurityW(from.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &size);
  std::vector<unsigned char> sd(size);
  return size > 0 &&
         GetFileSecurityW(from.c_str(), DACL_SECURITY_INFORMATION, sd.data(),
                          size, &size) != 0 &&
         SetFileSecurityW(to.c_str(), DACL_SECURITY_INFORMATION, sd.data()) !=
             0 &&
         SetFileAttributesW(to.c_str(), attrs) != 0;
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
  if (!FinishFd(fd, data, size, false)) {
    const int err = errno;
    _wunlink(temp.c_str());
    errno = err;
    return false;
  }
  // The new file takes the old one's attributes and access rights (its
  // DACL); where they cannot be carried over, the old file is rewritten.
  if (target.exists && !CarryOver(path, temp)) {
    _wunlink(temp.c_str());
    return WriteInPlace(target, data, size);
  }
  // A program that holds the file open (an editor, a second run) makes the
  // move fail for a moment, or for as long as it holds it: then, after a
  // few tries, the file is written in place, as fopen would.
  for (int attempt = 0;; ++attempt) {
    if (MoveFileExW(temp.c_str(), path.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0)
      return true;
    const DWORD err = GetLastError();
    const bool held = err == ERROR_SHARING_VIOLATION ||
                      err == ERROR_ACCESS_DENIED || err == ERROR_LOCK_VIOLATION;
    if (!held || attempt == 10) {
      _wunlink(temp.c_str());
      if (held) return WriteInPlace(target, data, size);
      SetLastError(err);
      errno = ErrnoFromLastError();
      return false;
    }
    Sleep(static_cast<DWORD>(10 * (attempt + 1)));  // half a second in all
  }
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
  target->exists = false;
  target->in_place = false;
  DWORD attrs = GetFileAttributesW(path.c_str());
  if (attrs == INVALID_FILE_ATTRIBUTES) {
    if (GetLastError() != ERROR_FILE_NOT_FOUND) {
      errno = ErrnoFromLastError();
      return false;
    }
    const DWORD folder = GetFileAttributesW(FolderOf(path).c_str());
    if (folder == INVALID_FILE_ATTRIBUTES ||
        (folder & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      errno = ENOENT;
      return false;
    }
    return true;
  }
  // The file itself, through any symbolic links and junctions: its final
  // name is what is replaced, so a link stays a link.
  HANDLE h = CreateFileW(
      path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    // Gone since, as when a second run replaces it: a new file, then.
    if (GetLastError() == ERROR_FILE_NOT_FOUND &&
        (attrs & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
      return true;
    if ((attrs & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
      errno = ErrnoFromLastError();
      return false;
    }
    // A link to nothing: fopen would create its file; so does writing
    // through it.
    target->in_place = true;
    return true;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = GetFileInformationByHandle(h, &info) != 0;
  std::vector<wchar_t> final(32768);
  const DWORD n = GetFinalPathNameByHandleW(
      h, final.data(), static_cast<DWORD>(final.size()), 0);
  if (n > 0 && n < final.size()) target->path = Utf8(final.data());
  CloseHandle(h);
  if (known) attrs = info.dwFileAttributes;
  if ((attrs & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    errno = EISDIR;
    return false;
  }
  if ((attrs & FILE_ATTRIBUTE_READONLY) != 0) {
    errno = EACCES;
    return false;
  }
  target->exists = true;
  // A second hard link would keep the old table after a move: then the
  // file itself is rewritten.
  target->in_place = known && info.nNumberOfLinks > 1;
  return true;
}

bool WriteWhole(const WriteTarget& target, const void* data, std::size_t size) {
  errno = 0;
  return target.in_place ? WriteInPlace(target, data, size)
                         : Replace(target, data, size);
}

}  // namespace platform
