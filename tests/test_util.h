// Helpers for tests that write files and run the built programs.
#ifndef ZOL_TESTS_TEST_UTIL_H
#define ZOL_TESTS_TEST_UTIL_H

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace testing_util {

// Byte-exact comparison that stays fast and readable for long outputs: on a
// mismatch it names the first differing offset and shows a little of each.
testing::AssertionResult SameBytes(const std::string& actual,
                                   const std::string& expected);

// One line a program says on standard error, as the facts it must hold:
// what it is about (the line's subject: a file name, "zol_01.txt:15", an
// option) and the facts in the rest of it (strerror's text, a number, a
// name, a command), each as a whole word.  Our sentences around them are
// ours to reword.
struct Said {
  std::string subject;
  std::vector<std::string> facts = {};
};

// The usual expectation: one line, about subject, holding facts.
template <typename... Facts>
std::vector<Said> Line(const std::string& subject, const Facts&... facts) {
  return {Said{subject, {std::string(facts)...}}};
}
// Nothing said.
inline const std::vector<Said> kQuiet;

// Whether err (LF or CR LF lines) is exactly one line per entry of said, in
// order, each "program: subject: ..." and holding its facts.
testing::AssertionResult Says(const std::string& err,
                              const std::string& program,
                              const std::vector<Said>& said);

// The command to paste that err gives: from the first `start` to the first
// comma outside the shell's quotes (or the end of its line); "" if none.
std::string Command(const std::string& err, const std::string& start);

// A fresh directory under TMPDIR, removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const {
    return path_ + "/" + name;
  }

 private:
  std::string path_;
};

void WriteFile(const std::string& path, const std::string& bytes);
// Writes bytes at offset of path, creating it; the file is then truncated
// or extended (sparsely) to size.
void WriteSparse(const std::string& path, std::uint64_t offset,
                 const std::string& bytes, std::uint64_t size);
std::string ReadFile(const std::string& path);
bool Exists(const std::string& path);

struct RunResult {
  int status = -1;  // exit status, or -1 if the program did not exit
  std::string out;
  std::string err;
};

// Runs "program args" with the shell in dir, standard output and error
// captured into files (or stdout sent to redirect_out, e.g. /dev/full).
RunResult Run(const std::string& dir, const std::string& command,
              const std::string& redirect_out = "");

// The program at path, ready for the shell: behind the emulator ZOL_RUNNER
// (wine) when the programs under test are built for another system.
std::string Program(const char* path);
// True when the programs are Windows ones.
bool WindowsPrograms();
// Text as the programs write it to standard output and error: on Windows
// the C runtime's text mode turns every newline into CR LF.
std::string Text(const std::string& lf);

// An end-to-end test: the built programs, ready for the shell, and a fresh
// folder of the test's own to run them in.
class ProgramRun : public testing::Test {
 protected:
  static const std::string kMsgdump;
  static const std::string kGlyphpack;
  static const std::string kMsginsert;
  static const std::string kMksample;
  // Runs command in the folder, as Run does.
  RunResult RunHere(const std::string& command,
                    const std::string& redirect_out = "") const {
    return testing_util::Run(dir_.path(), command, redirect_out);
  }
  TempDir dir_;
};

// Quotes s for the shell.
std::string Quote(const std::string& s);

// Names in dir that start with prefix.
std::vector<std::string> Glob(const std::string& dir,
                              const std::string& prefix);

// Fault injection with strace, for sweeps over every system call of a run.
// Why such a sweep cannot run here (no strace; a sanitizer runtime whose own
// system calls would be hit; programs run by an emulator), or null.
const char* WhyNoStrace();
// A command prefix that makes the k-th (1-based) call of syscall fail with
// EIO, or, with kill, kills the process with SIGKILL as it makes that call.
std::string Inject(const std::string& syscall, int k, bool kill);
// Runs command in dir under strace; returns the names of the calls among
// syscalls, in the order they were made.
std::vector<std::string> TraceCalls(const std::string& dir,
                                    const std::string& command,
                                    const std::string& syscalls);
inline constexpr int kKilled = 128 + 9;  // the shell's status for SIGKILL

// Runs command in dir once for each call among syscalls that a normal run
// makes, failing that call (EIO), then once more killing the run there.
// prepare runs before each; check judges each result.  Every killed run must
// end killed, and every failed run that did not exit 0 must say why on
// standard error.  Returns the normal run's calls, in order.
std::vector<std::string> SweepSystemCalls(
    const std::string& dir, const std::string& command,
    const std::vector<std::string>& syscalls,
    const std::function<void()>& prepare,
    const std::function<void(const RunResult&, bool killed)>& check);

}  // namespace testing_util

#endif  // ZOL_TESTS_TEST_UTIL_H
