// hold_open FILE: holds FILE open the way an editor does (reading; others
// may read and write it, but not delete or rename it), creates FILE.held to
// say so, and when FILE.release appears (or after 60 s) copies what its
// handle then reads to FILE.seen and lets go.  Windows only: the tests use
// it to stand in for another program.
#include <windows.h>

#include <string>

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const std::string name = argv[1];
  HANDLE h = CreateFileA(name.c_str(), GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 1;
  CloseHandle(CreateFileA((name + ".held").c_str(), GENERIC_WRITE, 0, nullptr,
                          CREATE_ALWAYS, 0, nullptr));
  for (int i = 0; i < 600; ++i) {
    if (GetFileAttributesA((name + ".release").c_str()) !=
        INVALID_FILE_ATTRIBUTES)
      break;
    Sleep(100);
  }
  char bytes[4096];
  DWORD got = 0;
  SetFilePointer(h, 0, nullptr, FILE_BEGIN);
  ReadFile(h, bytes, sizeof bytes, &got, nullptr);
  HANDLE seen = CreateFileA((name + ".seen").c_str(), GENERIC_WRITE, 0, nullptr,
                            CREATE_ALWAYS, 0, nullptr);
  DWORD wrote = 0;
  WriteFile(seen, bytes, got, &wrote, nullptr);
  CloseHandle(seen);
  CloseHandle(h);
  return 0;
}
