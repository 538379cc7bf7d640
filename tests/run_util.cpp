// Running the built programs, on a POSIX host: through the shell, under an
// emulator for programs built for another system, or under strace.
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>

#include "test_util.h"

namespace testing_util {

std::string Program(const char* path) {
  const std::string runner = ZOL_RUNNER;
  return (runner.empty() ? "" : Quote(runner) + " ") + Quote(path);
}

const std::string ProgramRun::kMsgdump = Program(MSGDUMP_BIN);
const std::string ProgramRun::kGlyphpack = Program(GLYPHPACK_BIN);
const std::string ProgramRun::kMsginsert = Program(MSGINSERT_BIN);
const std::string ProgramRun::kMksample = Program(MKSAMPLE_BIN);

bool WindowsPrograms() { return ZOL_WINDOWS_PROGRAMS != 0; }

std::string Text(const std::string& lf) {
  if (!WindowsPrograms()) return lf;
  std::string crlf;
  for (const char c : lf) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  return crlf;
}

std::string Quote(const std::string& s) {
  std::string q = "'";
  for (char c : s) {
    if (c == '\'')
      q += "'\\''";
    else
      q += c;
  }
  return q + "'";
}

RunResult Run(const std::string& dir, const std::string& command,
              const std::string& redirect_out) {
  TempDir capture;
  const std::string out = capture / "out";
  const std::string err = capture / "err";
  const std::string line = "cd " + Quote(dir) + " && " + command + " >" +
                           Quote(redirect_out.empty() ? out : redirect_out) +
                           " 2>" + Quote(err) + " </dev/null";
  // bash for process substitution in the pipe tests.
  // The shell's own stderr (its "Killed" notes) is not the program's.
  const std::string shell = "bash -c " + Quote(line) + " 2>/dev/null";
  RunResult r;
  // (Once in many runs on a busy machine, Wine fails to start a program
  // and exits 1 without a word; the programs never fail silently, so such
  // a run is tried again, once.)
  for (int attempt = 0; attempt < 2; ++attempt) {
    const int raw = std::system(shell.c_str());
    if (raw != -1 && WIFEXITED(raw)) r.status = WEXITSTATUS(raw);
    r.out = ReadFile(out);
    r.err = ReadFile(err);
    if (std::string(ZOL_RUNNER).empty() || r.status != 1 || !r.out.empty() ||
        !r.err.empty())
      break;
  }
  return r;
}

const char* WhyNoStrace() {
  if (!std::string(ZOL_RUNNER).empty())
    return "the programs run under an emulator";
#ifdef ZOL_SANITIZED
  return "the sanitizer runtime makes system calls of its own";
#else
  if (std::system("strace -V >/dev/null 2>&1") != 0)
    return "strace is not installed";
  return nullptr;
#endif
}

std::string Inject(const std::string& syscall, int k, bool kill) {
  return "strace -f -o /dev/null -e trace=" + syscall +
         " -e inject=" + syscall + (kill ? ":signal=SIGKILL" : ":error=EIO") +
         ":when=" + std::to_string(k) + " ";
}

std::vector<std::string> TraceCalls(const std::string& dir,
                                    const std::string& command,
                                    const std::string& syscalls) {
  TempDir capture;
  const std::string trace = capture / "trace";
  Run(dir,
      "strace -f -o " + Quote(trace) + " -e trace=" + syscalls + " " + command);
  std::vector<std::string> calls;
  std::istringstream lines(ReadFile(trace));
  std::string pid, call;
  while (lines >> pid && std::getline(lines, call)) {
    const std::size_t at = call.find_first_not_of(' ');
    const std::size_t paren = call.find('(');
    if (at != std::string::npos && paren != std::string::npos && at < paren &&
        call[at] != '+' && call[at] != '<')
      calls.push_back(call.substr(at, paren - at));
  }
  return calls;
}

std::vector<std::string> SweepSystemCalls(
    const std::string& dir, const std::string& command,
    const std::vector<std::string>& syscalls,
    const std::function<void()>& prepare,
    const std::function<void(const RunResult&, bool killed)>& check) {
  std::string list;
  for (const std::string& call : syscalls)
    list += (list.empty() ? "" : ",") + call;
  prepare();
  const std::vector<std::string> calls = TraceCalls(dir, command, list);
  int runs = 0;
  for (const std::string& call : syscalls) {
    const auto n = std::count(calls.begin(), calls.end(), call);
    EXPECT_GT(n, 0) << call;
    for (int k = 1; k <= n; ++k) {
      for (const bool kill : {false, true}) {
        SCOPED_TRACE(call + " #" + std::to_string(k) +
                     (kill ? " killed" : " fails"));
        prepare();
        const RunResult r = Run(dir, Inject(call, k, kill) + command);
        ++runs;
        if (kill) {
          EXPECT_EQ(r.status, kKilled);
        } else if (r.status != 0) {
          EXPECT_NE(r.err, "");
        }
        check(r, kill);
      }
    }
  }
  EXPECT_GT(runs, 2 * static_cast<int>(syscalls.size()));
  return calls;
}

}  // namespace testing_util
