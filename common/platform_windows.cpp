// The platform layer on Windows (Vista and later).  File names are UTF-8
// inside the programs and UTF-16 towards the system, so every name Explorer
// can show works, whatever the ANSI code page is.
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0600  // GetFinalPathNameByHandleW
#endif
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

#include "platform_write.h"

// The system's random generator (RtlGenRandom), from advapi32.
extern "C" BOOLEAN NTAPI SystemFunction036(PVOID buffer, ULONG size);

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

// wide in the code page page ("" if it cannot be).
std::string Narrow(const wchar_t* wide, UINT page = CP_UTF8) {
  const int n =
      WideCharToMultiByte(page, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return "";
  std::string s(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(page, 0, wide, -1, s.data(), n, nullptr, nullptr);
  s.resize(static_cast<std::size_t>(n - 1));
  return s;
}

// errno for a Windows error.
int ErrnoOf(DWORD err) {
  switch (err) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
      return EACCES;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_FILENAME_EXCED_RANGE:
      return ENAMETOOLONG;
    case ERROR_FILE_EXISTS:
      return EEXIST;
    default:
      return EIO;
  }
}

// False, with errno from the last failed Windows call.
bool Failed() {
  errno = ErrnoOf(GetLastError());
  return false;
}

// A handle closed with its scope.
class Handle {
 public:
  explicit Handle(HANDLE h = INVALID_HANDLE_VALUE) : h_(h) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() {
    if (ok()) CloseHandle(h_);
  }
  [[nodiscard]] HANDLE get() const { return h_; }
  [[nodiscard]] bool ok() const { return h_ != INVALID_HANDLE_VALUE; }
  HANDLE release() { return std::exchange(h_, INVALID_HANDLE_VALUE); }

 private:
  HANDLE h_;
};

HANDLE Of(std::intptr_t file) { return reinterpret_cast<HANDLE>(file); }

constexpr DWORD kShareAll =
    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

void Fill(const BY_HANDLE_FILE_INFORMATION& i, FileInfo* info) {
  info->size =
      static_cast<std::uint64_t>(i.nFileSizeHigh) << 32 | i.nFileSizeLow;
  // 100 ns steps since 1601, as nanoseconds since 1970.
  const std::int64_t ticks =
      static_cast<std::int64_t>(
          static_cast<std::uint64_t>(i.ftLastWriteTime.dwHighDateTime) << 32 |
          i.ftLastWriteTime.dwLowDateTime) -
      116444736000000000LL;
  info->modified = ticks * 100;
  info->device = i.dwVolumeSerialNumber;
  info->inode =
      static_cast<std::uint64_t>(i.nFileIndexHigh) << 32 | i.nFileIndexLow;
}

// The folder part of path, up to and with its last separator ("" for a
// bare name).
std::wstring FolderOf(const std::wstring& path) {
  const std::size_t sep = path.find_last_of(L"\\/");
  return sep == std::wstring::npos ? L"" : path.substr(0, sep + 1);
}

// Writes data as the whole of the file h, at path, from its start, synced.
// A disk (or quota) without room for what the file grows by fails it
// first, with the earlier file whole.
bool Rewrite(HANDLE h, const std::wstring& path, const void* data,
             std::size_t size) {
  LARGE_INTEGER now{};
  if (GetFileSizeEx(h, &now) == 0) return Failed();
  const std::wstring folder = FolderOf(path);
  ULARGE_INTEGER room{};
  if (static_cast<ULONGLONG>(now.QuadPart) < size &&
      GetDiskFreeSpaceExW(folder.empty() ? nullptr : folder.c_str(), &room,
                          nullptr, nullptr) != 0 &&
      room.QuadPart < size - static_cast<ULONGLONG>(now.QuadPart)) {
    errno = ENOSPC;
    return false;
  }
  LARGE_INTEGER zero{};
  if (SetFilePointerEx(h, zero, nullptr, FILE_BEGIN) == 0) return Failed();
  const auto file = reinterpret_cast<std::intptr_t>(h);
  if (!WriteAll(file, data, size)) return false;
  if (SetEndOfFile(h) == 0) return Failed();
  return Sync(file);
}

// The DACL of the file path, as bytes, or "" if it cannot be read.
std::string Dacl(const std::wstring& path) {
  DWORD size = 0;
  GetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &size);
  std::string sd(size, '\0');
  if (size == 0 || GetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION,
                                    sd.data(), size, &size) == 0)
    return "";
  return sd;
}

}  // namespace

WriteTarget::State::~State() {
  if (file != -1) CloseHandle(Of(file));
}

bool WriteAll(std::intptr_t file, const void* data, std::size_t size) {
  const auto* p = static_cast<const unsigned char*>(data);
  while (size > 0) {
    const DWORD chunk =
        size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    DWORD wrote = 0;
    if (WriteFile(Of(file), p, chunk, &wrote, nullptr) == 0) return Failed();
    if (wrote == 0) {
      errno = EIO;  // a write that takes nothing never will
      return false;
    }
    p += wrote;
    size -= wrote;
  }
  return true;
}

bool Sync(std::intptr_t file) {
  if (FlushFileBuffers(Of(file)) != 0) return true;
  const DWORD err = GetLastError();
  if (err == ERROR_INVALID_FUNCTION || err == ERROR_NOT_SUPPORTED ||
      err == ERROR_INVALID_PARAMETER)
    return true;
  errno = ErrnoOf(err);
  return false;
}

void Random(unsigned char bytes[6]) { SystemFunction036(bytes, 6); }

bool CreateTemp(WriteTarget::State& /*target*/, Temp* temp) {
  const HANDLE h =
      CreateFileW(Wide(temp->name.c_str()).c_str(), GENERIC_WRITE, 0, nullptr,
                  CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return Failed();
  temp->file = reinterpret_cast<std::intptr_t>(h);
  return true;
}

bool RenameOver(WriteTarget::State& target, Temp* temp) {
  if (CloseHandle(Of(std::exchange(temp->file, -1))) == 0) return Failed();
  const std::wstring path = Wide(target.name.c_str());
  const std::wstring from = Wide(temp->name.c_str());
  // The new file must show what the old one showed: its attributes, and the
  // access rights it would inherit must be the old file's own (copying them
  // would widen them under Wine); else the old file is rewritten.
  if (target.exists) {
    const DWORD attrs = GetFileAttributesW(path.c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES || Dacl(path) != Dacl(from) ||
        SetFileAttributesW(from.c_str(), attrs) == 0) {
      errno = EPERM;
      return false;
    }
  }
  // A program that holds the file open (an editor, a second run) makes the
  // move fail for a moment, or for as long as it holds it: then, after a
  // few tries (half a second in all), the file is written in place, as
  // fopen would.
  for (int attempt = 0;; ++attempt) {
    if (MoveFileExW(from.c_str(), path.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0)
      return true;
    const DWORD why = GetLastError();
    if (attempt == 10 ||
        (why != ERROR_SHARING_VIOLATION && why != ERROR_ACCESS_DENIED &&
         why != ERROR_LOCK_VIOLATION)) {
      errno = ErrnoOf(why);
      return false;
    }
    Sleep(static_cast<DWORD>(10 * (attempt + 1)));
  }
}

void RemoveTemp(WriteTarget::State& /*target*/, Temp* temp) {
  if (temp->file != -1) CloseHandle(Of(std::exchange(temp->file, -1)));
  DeleteFileW(Wide(temp->name.c_str()).c_str());
}

bool WriteInPlace(WriteTarget::State& target, const void* data,
                  std::size_t size) {
  const std::wstring path = Wide(target.name.c_str());
  if (target.file != -1) return Rewrite(Of(target.file), path, data, size);
  // A link found at the start (one to nothing) is written through, and
  // its target made.  Otherwise what is there now must be the file found
  // then, or one made now, and never a link (a reparse point) put there
  // since.
  const bool through = target.how == WriteTarget::State::How::kInPlace;
  const Handle h(CreateFileW(
      path.c_str(), GENERIC_WRITE, kShareAll, nullptr,
      through         ? OPEN_ALWAYS
      : target.exists ? OPEN_EXISTING
                      : CREATE_NEW,
      FILE_ATTRIBUTE_NORMAL | (through ? 0 : FILE_FLAG_OPEN_REPARSE_POINT),
      nullptr));
  BY_HANDLE_FILE_INFORMATION i{};
  FileInfo now;
  if (!h.ok() || GetFileInformationByHandle(h.get(), &i) == 0) {
    Failed();
    if (errno == EEXIST) errno = EACCES;
    return false;
  }
  Fill(i, &now);
  if (!through && ((i.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
                   (target.exists && (now.device != target.found.device ||
                                      now.inode != target.found.inode)))) {
    errno = EACCES;
    return false;
  }
  return Rewrite(h.get(), path, data, size);
}

bool Stat(const char* path, FileInfo* info) {
  const Handle h(CreateFileW(Wide(path).c_str(), 0, kShareAll, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                             nullptr));
  BY_HANDLE_FILE_INFORMATION i{};
  if (!h.ok() || GetFileInformationByHandle(h.get(), &i) == 0) return Failed();
  Fill(i, info);
  return true;
}

std::FILE* OpenInput(const char* path, FileInfo* info, const char** why) {
  *why = nullptr;
  std::FILE* f = _wfopen(Wide(path).c_str(), L"rb");
  if (f == nullptr) return nullptr;
  const auto h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(f)));
  BY_HANDLE_FILE_INFORMATION i{};
  if (GetFileType(h) != FILE_TYPE_DISK ||
      GetFileInformationByHandle(h, &i) == 0) {
    std::fclose(f);
    *why = "not a regular file";
    return nullptr;
  }
  if (info != nullptr) Fill(i, info);
  return f;
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
  return Narrow(wargv[i]);
}

std::string Shown(const std::string& utf8) {
  const std::string shown =
      Narrow(Wide(utf8.c_str()).c_str(),
             _isatty(_fileno(stderr)) != 0 ? GetConsoleOutputCP() : CP_ACP);
  return shown.empty() ? utf8 : shown;
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

void KeepLineEnds(std::FILE* f) { _setmode(_fileno(f), _O_BINARY); }

bool IsTerminal(std::FILE* f) { return _isatty(_fileno(f)) != 0; }

bool IsUtf8Terminal(std::FILE* /*f*/) { return false; }

bool ResolveForWrite(const char* name, WriteTarget* target) {
  using How = WriteTarget::State::How;
  WriteTarget::State& s = target->state();
  const std::wstring path = Wide(name);
  s.name = name;
  const DWORD attrs = GetFileAttributesW(path.c_str());
  if (attrs == INVALID_FILE_ATTRIBUTES) {
    if (GetLastError() != ERROR_FILE_NOT_FOUND) return Failed();
    // Nothing there that Windows can see.  A name that a folder lists but
    // that leads nowhere is a link to nothing (Wine shows a POSIX one so):
    // writing through it creates its target, as fopen would.
    WIN32_FIND_DATAW found;
    const HANDLE f = FindFirstFileW(path.c_str(), &found);
    if (f != INVALID_HANDLE_VALUE) FindClose(f);
    if (f == INVALID_HANDLE_VALUE && GetLastError() == ERROR_NO_MORE_FILES)
      s.how = How::kInPlace;
    const std::wstring folder = FolderOf(path);
    const DWORD fa = folder.empty() ? FILE_ATTRIBUTE_DIRECTORY
                                    : GetFileAttributesW(folder.c_str());
    errno = ENOENT;
    return fa != INVALID_FILE_ATTRIBUTES &&
           (fa & FILE_ATTRIBUTE_DIRECTORY) != 0;
  }
  if ((attrs & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) {
    errno = (attrs & FILE_ATTRIBUTE_DIRECTORY) != 0 ? EISDIR : EACCES;
    return false;
  }
  // What the name leads to, opened for writing as fopen would open it
  // (through links), but neither created nor truncated.
  Handle h(CreateFileW(path.c_str(), GENERIC_WRITE, kShareAll, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!h.ok()) {
    if (GetLastError() != ERROR_FILE_NOT_FOUND ||
        (attrs & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
      return Failed();
    s.how = How::kInPlace;  // a link to nothing
    return true;
  }
  s.exists = true;
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileType(h.get()) != FILE_TYPE_DISK) {  // NUL, CON, a pipe
    s.how = How::kDirect;
  } else if (GetFileInformationByHandle(h.get(), &info) == 0) {
    return Failed();
  } else {
    Fill(info, &s.found);
    // The file itself, through any links and junctions: its final name is
    // what is replaced, so a link stays a link.
    std::vector<wchar_t> final(32768);
    const DWORD n = GetFinalPathNameByHandleW(
        h.get(), final.data(), static_cast<DWORD>(final.size()), 0);
    if (n > 0 && n < final.size()) s.name = Narrow(final.data());
    // A second hard link would keep the old content after a move: then the
    // file itself is rewritten, through the handle kept for it.
    if (info.nNumberOfLinks == 1) return true;
    s.how = How::kInPlace;
  }
  s.file = reinterpret_cast<std::intptr_t>(h.release());
  return true;
}

}  // namespace platform
