// What pairs make of a translation, and how long choosing them takes: a
// made-up scene of 30 lines, and a full text window's worth of
// fixed-seed English (67,256 bytes of text), and twice that.  Each line sits
// between a speaker's opening codes and its line end, as the game's lines do,
// and may take two thirds of its English's bytes (English takes about 1.5 times
// the characters of the Japanese). Usage: build/bench/pairs_bench
#include <cctype>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "pairs.h"

namespace {

const char* const kScene[] = {
    "Rotan, where are you?",
    "Over here. I'm in the forest.",
    "Who's there?",
    "...",
    "Rotan, let's head east.",
    "The bridge is out. We'll have to find another way across.",
    "There's an old ferryman who lives by the river.",
    "He won't take us unless we pay him in silver.",
    "I don't have any silver. Do you?",
    "Just a few coins. It might be enough.",
    "Then let's go before it gets dark.",
    "Wait! Something is moving in the trees.",
    "It's only a fox. Don't be so nervous.",
    "Easy for you to say. You're not the one it's staring at.",
    "The ferryman's hut is just past that hill.",
    "Hello? Is anyone home?",
    "Who disturbs an old man at this hour?",
    "We need to cross the river tonight.",
    "Tonight? The water is high and the current is strong.",
    "Please. Our friends are waiting on the other side.",
    "Very well. But it will cost you three silver pieces.",
    "Three? That's more than everything we have.",
    "Then you'll have to wait until morning, like everyone else.",
    "What if we help you mend your nets instead?",
    "Hmm. That would save me a day's work. All right.",
    "Thank you! We'll start right away.",
    "Be careful with the knots. They are older than you are.",
    "The nets are done. Can we go now?",
    "Get in the boat, and keep your hands inside.",
    "The far shore is dark. I hope they're still there.",
};

const char* const kWords[] = {
    "the",     "you",    "to",     "and",    "a",       "of",     "I",
    "it",      "is",     "that",   "we",     "in",      "have",   "this",
    "be",      "for",    "what",   "not",    "on",      "with",   "are",
    "can",     "he",     "they",   "there",  "go",      "do",     "will",
    "me",      "was",    "all",    "your",   "but",     "here",   "now",
    "know",    "from",   "my",     "one",    "just",    "come",   "his",
    "out",     "must",   "our",    "where",  "us",      "time",   "no",
    "if",      "them",   "back",   "way",    "see",     "find",   "been",
    "still",   "river",  "forest", "castle", "king",    "sword",  "village",
    "east",    "north",  "night",  "friend", "enemy",   "power",  "light",
    "dark",    "stone",  "gate",   "tower",  "journey", "magic",  "old",
    "long",    "before", "after",  "again",  "never",   "always", "right",
    "think",   "take",   "help",   "should", "could",   "would",  "about",
    "people",  "world",  "only",   "over",   "through", "these",  "things",
    "looking", "thank",  "please", "wait",   "every",   "little", "great",
};

struct Figures {
  std::size_t lines = 0, before = 0, after = 0, overflows = 0, singles = 0,
              codes = 0;
  double ms = 0;
};

// A game line: <04><06>「text」<0A><01>, its 「 and 」 codes kept.
translate::PairLine Line(const std::string& text, std::size_t number) {
  translate::PairLine line;
  line.line = static_cast<int>(4 * number + 16);
  line.offset = static_cast<std::uint32_t>(0x2EF800 + 64 * number);
  line.pieces = {{"\x04\x06\x75", true}, {text, false}, {"\x76\x0A\x01", true}};
  line.budget = 6 + (2 * text.size() + 2) / 3;
  return line;
}

Figures Run(const std::vector<translate::PairLine>& lines) {
  Figures f;
  translate::PairChoice choice;
  for (int run = 0; run < 5; ++run) {  // the best of five
    const auto start = std::chrono::steady_clock::now();
    choice = translate::ChoosePairs(lines, {});
    const std::chrono::duration<double, std::milli> took =
        std::chrono::steady_clock::now() - start;
    if (run == 0 || took.count() < f.ms) f.ms = took.count();
  }
  f.lines = lines.size();
  for (const translate::PairChoice::Line& l : choice.lines) {
    f.before += l.before;
    f.after += l.after;
  }
  f.overflows = choice.overflows.size();
  f.singles = choice.singles.size();
  for (const std::string& t : choice.text) f.codes += t.empty() ? 0 : 1;
  return f;
}

void Print(const char* name, const Figures& f) {
  std::printf(
      "%-12s %5zu lines  %6zu bytes before  %6zu after (%.1f%%)  %4zu do "
      "not fit  %3zu singles left  %3zu codes  %.1f ms\n",
      name, f.lines, f.before, f.after, 100.0 * f.after / f.before, f.overflows,
      f.singles, f.codes, f.ms);
}

// Lines of fixed-seed English, bytes of them in all.
std::vector<translate::PairLine> English(std::size_t size) {
  std::vector<translate::PairLine> window;
  std::mt19937 rng(20261209);
  std::size_t bytes = 0;
  while (bytes < size) {
    std::string text;
    const unsigned sentences = 1 + rng() % 2;
    for (unsigned s = 0; s < sentences; ++s) {
      const unsigned words = 3 + rng() % 8;
      for (unsigned w = 0; w < words; ++w) {
        std::string word = kWords[rng() % (sizeof kWords / sizeof *kWords)];
        if (w == 0) word[0] = static_cast<char>(std::toupper(word[0]));
        text += (w == 0 ? (s == 0 ? "" : " ") : " ") + word;
      }
      text += ".!?"[rng() % 3];
    }
    window.push_back(Line(text, window.size()));
    bytes += text.size() + 6;
  }
  return window;
}

}  // namespace

int main() {
  std::vector<translate::PairLine> scene;
  for (const char* text : kScene) scene.push_back(Line(text, scene.size()));
  Print("30 lines", Run(scene));

  Print("full window", Run(English(67256)));
  Print("two windows", Run(English(2 * 67256)));  // how the time grows
}
