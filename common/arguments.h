// A program's command line, read the one way every program reads it, and
// the start of every run: options start with '-' and come in any order,
// "--" ends them, and "-" alone or any other word is an operand.
#ifndef ZOL_COMMON_ARGUMENTS_H
#define ZOL_COMMON_ARGUMENTS_H

#include <functional>
#include <vector>

#include "message.h"

namespace arguments {

// An option that takes the word after it as its value.
struct Valued {
  const char* name;   // as typed: "-o", "--table"
  int* slot;          // the argv index of its value; 0 until given
  const char* needs;  // said, with the option and form, when no value
                      // follows: "needs a file name"
  const char* form;   // the value as the usage shows it: "FILE"
  const char* one;    // a second one is refused as "one <one> at a time"
};

// How one program's command line is read.
struct Grammar {
  bool* help;     // set by --help
  bool* version;  // set by --version
  std::vector<Valued> valued;
  // Takes any other option, argv[*i], moving *i past a value it takes;
  // false, said, when the line cannot be followed.
  std::function<bool(int* i)> option;
  // Takes the operand argv[i]; false, said, when the line cannot be
  // followed.
  std::function<bool(int i)> operand;
};

// Reads argv[1..argc) by grammar, in order; false, said on standard error,
// at the first word that cannot be followed.
bool Walk(int argc, char** argv, const Grammar& grammar);

// Whether two options that go together, a and b as the usage shows them
// ("--pairs DIR"), were given both or neither; false, said about the one
// given, when not.
bool Together(const char* a, bool has_a, const char* b, bool has_b);

// Answers --help with usage, or --version with "program VERSION", on
// standard output, and ends the run (message::Finish).
int Answer(const char* program, bool help, const char* usage);

// A whole run: names program for its messages, reads the command line with
// parse (exit status 1 when it cannot be followed), answers --help and
// --version, and otherwise gives run(options, argv)'s exit status.
template <typename Options, typename Run>
int Main(const char* program, const char* usage, int argc, char** argv,
         bool (*parse)(int, char**, Options*), Run run) {
  message::SetProgram(program);
  Options o;
  if (!parse(argc, argv, &o)) return message::Finish(false);
  if (o.help || o.version) return Answer(program, o.help, usage);
  return run(o, argv);
}

}  // namespace arguments

#endif  // ZOL_COMMON_ARGUMENTS_H
