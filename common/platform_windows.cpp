// The platform layer on Windows (Vista and later).  File names are UTF-8
// inside the programs and UTF-16 towards the system, so every name Explorer
// can show works, whatever the ANSI code page is.
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0600  // GetFinalPathNameByHandleW
#endif
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "line_ends.h"
#include "platform_write.h"

// The system's random generator (RtlGenRandom), from advapi32.
extern "C" BOOLEAN NTAPI SystemFunction036(PVOID buffer, ULONG size);

// The C runtime's own wide-character split of the command line (the one a
// wmain would get), from msvcrt itself, so no DLL beyond it is needed.
struct _startupinfo;
extern "C" int __wgetmainargs(int* argc, wchar_t*** argv, wchar_t*** env,
                              int glob, _startupinfo* info);

namespace platform {

namespace {

std::wstring Wide(const char* utf8) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
  std::wstring w(static_cast<std::size_t>(std::max(n, 1)), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8, -1, w.data(), n);
  w.pop_back();
  return w;
}

// wide in the code page page ("" if it cannot be).
std::string Narrow(const wchar_t* wide, UINT page = CP_UTF8) {
  const int n =
      WideCharToMultiByte(page, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<std::size_t>(std::max(n, 1)), '\0');
  WideCharToMultiByte(page, 0, wide, -1, s.data(), n, nullptr, nullptr);
  s.pop_back();
  return s;
}

// False, with errno for the Windows error err (EIO for one not listed).
bool Failed(DWORD err = GetLastError()) {
  static const std::pair<DWORD, int> kErrnos[] = {
      {ERROR_FILE_NOT_FOUND, ENOENT},
      {ERROR_PATH_NOT_FOUND, ENOENT},
      {ERROR_INVALID_NAME, ENOENT},
      {ERROR_ACCESS_DENIED, EACCES},
      {ERROR_SHARING_VIOLATION, EACCES},
      {ERROR_LOCK_VIOLATION, EACCES},
      {ERROR_WRITE_PROTECT, EACCES},
      {ERROR_DISK_FULL, ENOSPC},
      {ERROR_HANDLE_DISK_FULL, ENOSPC},
      {ERROR_FILENAME_EXCED_RANGE, ENAMETOOLONG},
      {ERROR_FILE_EXISTS, EEXIST}};
  errno = EIO;
  for (const auto& [windows, posix] : kErrnos)
    if (windows == err) errno = posix;
  return false;
}

HANDLE Of(std::intptr_t file) { return reinterpret_cast<HANDLE>(file); }

constexpr DWORD kShareAll =
    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// *info from h's information, which *i holds.
bool Fill(HANDLE h, FileInfo* info, BY_HANDLE_FILE_INFORMATION* i) {
  if (h == INVALID_HANDLE_VALUE || GetFileInformationByHandle(h, i) == 0)
    return Failed();
  auto join = [](DWORD high, DWORD low) {
    return static_cast<std::uint64_t>(high) << 32 | low;
  };
  info->size = join(i->nFileSizeHigh, i->nFileSizeLow);
  const std::uint64_t since1601 =
      join(i->ftLastWriteTime.dwHighDateTime, i->ftLastWriteTime.dwLowDateTime);
  info->modified =  // 100 ns steps since 1601, as nanoseconds since 1970
      (static_cast<std::int64_t>(since1601) - 116444736000000000LL) * 100;
  info->device = i->dwVolumeSerialNumber;
  info->inode = join(i->nFileIndexHigh, i->nFileIndexLow);
  return true;
}

// The folder part of path, with its last separator ("" for a bare name).
std::wstring FolderOf(const std::wstring& path) {
  return path.substr(0, path.find_last_of(L"\\/") + 1);
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

bool Random(unsigned char bytes[6]) { return SystemFunction036(bytes, 6) != 0; }

bool CreateTemp(WriteTarget::State& target) {
  target.temp = reinterpret_cast<std::intptr_t>(
      CreateFileW(Wide(target.temp_name.c_str()).c_str(), GENERIC_WRITE, 0,
                  nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  return target.temp != -1 || Failed();
}

long WriteSome(std::intptr_t file, const void* data, std::size_t size) {
  DWORD wrote = 0;
  const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1U << 30));
  const bool ok = WriteFile(Of(file), data, chunk, &wrote, nullptr) != 0;
  return (ok || Failed()) ? static_cast<long>(wrote) : -1;
}

bool Sync(std::intptr_t file) {
  if (FlushFileBuffers(Of(file)) != 0) return true;
  const DWORD err = GetLastError();
  return err == ERROR_INVALID_FUNCTION || err == ERROR_NOT_SUPPORTED ||
         err == ERROR_INVALID_PARAMETER || Failed(err);
}

bool RenameOver(WriteTarget::State& target) {
  if (CloseHandle(Of(std::exchange(target.temp, -1))) == 0) return Failed();
  const std::wstring path = Wide(target.name.c_str());
  const std::wstring from = Wide(target.temp_name.c_str());
  // The new file must show what the old one showed: its attributes, and the
  // access rights it would inherit must be the old file's own (copying them
  // would widen them under Wine); else the old file is rewritten.
  const DWORD attrs = GetFileAttributesW(path.c_str());
  if (target.exists &&
      (attrs == INVALID_FILE_ATTRIBUTES || Dacl(path) != Dacl(from) ||
       SetFileAttributesW(from.c_str(), attrs) == 0)) {
    errno = EPERM;
    return false;
  }
  // A program that holds the file open (an editor, a second run) makes the
  // move fail (EACCES) for a moment, or for as long as it holds it: then,
  // after a few tries (half a second in all), the file is written in place,
  // as fopen would.
  for (int attempt = 0;; ++attempt) {
    if (MoveFileExW(from.c_str(), path.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0)
      return true;
    Failed();  // EACCES where a program holds the file
    if (attempt == 10 || errno != EACCES) return false;
    Sleep(static_cast<DWORD>(10 * (attempt + 1)));
  }
}

void RemoveTemp(WriteTarget::State& target) {
  if (target.temp != -1) CloseHandle(Of(std::exchange(target.temp, -1)));
  DeleteFileW(Wide(target.temp_name.c_str()).c_str());
}

bool WriteInPlace(WriteTarget::State& target, const void* data,
                  std::size_t size) {
  const std::wstring path = Wide(target.name.c_str());
  // A link found at the start (one to nothing) is written through, and its
  // target made.  Otherwise what is there now must be the file found then,
  // or one made now, and never a link (a reparse point) put there since.
  const bool through = target.how == How::kInPlace;
  if (target.file == -1)
    target.file = reinterpret_cast<std::intptr_t>(CreateFileW(
        path.c_str(), GENERIC_WRITE, kShareAll, nullptr,
        through         ? OPEN_ALWAYS
        : target.exists ? OPEN_EXISTING
                        : CREATE_NEW,
        FILE_ATTRIBUTE_NORMAL | (through ? 0 : FILE_FLAG_OPEN_REPARSE_POINT),
        nullptr));
  const HANDLE h = Of(target.file);
  BY_HANDLE_FILE_INFORMATION i{};
  FileInfo now;
  if (!Fill(h, &now, &i)) return false;
  if (!through && ((i.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
                   (target.exists && !now.Same(target.found)))) {
    errno = EACCES;
    return false;
  }
  // Room first: a disk (or quota) without room for what the file grows by
  // fails the write with the earlier file whole.
  const std::wstring folder = FolderOf(path);
  ULARGE_INTEGER room{};
  if (now.size < size &&
      GetDiskFreeSpaceExW(folder.empty() ? nullptr : folder.c_str(), &room,
                          nullptr, nullptr) != 0 &&
      room.QuadPart < size - now.size) {
    errno = ENOSPC;
    return false;
  }
  if (SetFilePointerEx(h, LARGE_INTEGER{}, nullptr, FILE_BEGIN) == 0)
    return Failed();
  return WriteAll(target.file, data, size) &&
         (SetEndOfFile(h) != 0 || Failed()) && Sync(target.file);
}

bool Stat(const char* path, FileInfo* info) {
  const HANDLE h =
      CreateFileW(Wide(path).c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                  FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  BY_HANDLE_FILE_INFORMATION i{};
  const bool found = Fill(h, info, &i);
  if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  return found;
}

std::FILE* OpenInput(const char* path, FileInfo* info, const char** why) {
  *why = nullptr;
  std::FILE* f = _wfopen(Wide(path).c_str(), L"rb");
  if (f == nullptr) return nullptr;
  const auto h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(f)));
  BY_HANDLE_FILE_INFORMATION i{};
  FileInfo found;
  if (GetFileType(h) != FILE_TYPE_DISK ||
      !Fill(h, info != nullptr ? info : &found, &i)) {
    std::fclose(f);
    *why = "not a regular file";
    return nullptr;
  }
  return f;
}

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
  return line_ends::WithCrLf(text);
}

void KeepLineEnds(std::FILE* f) { _setmode(_fileno(f), _O_BINARY); }

bool IsTerminal(std::FILE* f) { return _isatty(_fileno(f)) != 0; }

bool IsUtf8Terminal(std::FILE* /*f*/) { return false; }

bool ResolveForWrite(const char* name, WriteTarget* target) {
  WriteTarget::State& s = *target->state;
  const std::wstring path = Wide(name);
  s.name = name;
  const DWORD attrs = GetFileAttributesW(path.c_str());
  if (attrs != INVALID_FILE_ATTRIBUTES &&
      (attrs & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) {
    errno = (attrs & FILE_ATTRIBUTE_DIRECTORY) != 0 ? EISDIR : EACCES;
    return false;
  }
  // What the name leads to, opened for writing as fopen would open it
  // (through links), but neither created nor truncated.
  s.file = reinterpret_cast<std::intptr_t>(
      CreateFileW(path.c_str(), GENERIC_WRITE, kShareAll, nullptr,
                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  const HANDLE h = Of(s.file);
  if (h == INVALID_HANDLE_VALUE) {
    if (GetLastError() != ERROR_FILE_NOT_FOUND) return Failed();
    // Nothing there.  A name that its folder lists all the same is a link to
    // nothing (Wine lists a POSIX one, yet finds no file at it): writing
    // through it makes its target, as fopen would.
    WIN32_FIND_DATAW found;
    const HANDLE f = FindFirstFileW(path.c_str(), &found);
    if (f != INVALID_HANDLE_VALUE) FindClose(f);
    if (f != INVALID_HANDLE_VALUE || GetLastError() == ERROR_NO_MORE_FILES)
      s.how = How::kInPlace;
    const std::wstring folder = FolderOf(path);
    const DWORD fa = folder.empty() ? FILE_ATTRIBUTE_DIRECTORY
                                    : GetFileAttributesW(folder.c_str());
    errno = ENOENT;
    return fa != INVALID_FILE_ATTRIBUTES &&
           (fa & FILE_ATTRIBUTE_DIRECTORY) != 0;
  }
  s.exists = true;
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileType(h) != FILE_TYPE_DISK) {  // NUL, CON, a pipe
    s.how = How::kDirect;
    return true;
  }
  if (!Fill(h, &s.found, &info)) return false;
  // The file itself, through any links and junctions: its final name is
  // what is replaced, so a link stays a link.
  std::wstring final(32768, L'\0');
  const DWORD n = GetFinalPathNameByHandleW(
      h, final.data(), static_cast<DWORD>(final.size()), 0);
  if (n > 0 && n < final.size()) s.name = Narrow(final.c_str());
  // A second hard link would keep the old content after a move: then the
  // file itself is rewritten, through the handle kept for it.  Else it is
  // let go, so that it can be replaced.
  if (info.nNumberOfLinks > 1) s.how = How::kInPlace;
  if (s.how == How::kReplace) CloseHandle(Of(std::exchange(s.file, -1)));
  return true;
}

}  // namespace platform
