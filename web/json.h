// The one JSON writer of the page's bindings: objects and arrays written
// in order, with the commas and the string escapes done here.
#ifndef ZOL_WEB_JSON_H
#define ZOL_WEB_JSON_H

#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>

namespace web {

// A field's value: a number, true or false, or text (UTF-8); made
// implicitly, so that a member is written as Member{"key", value}.
class Value {
 public:
  template <typename T, typename = std::enable_if_t<std::is_arithmetic_v<T> &&
                                                    !std::is_same_v<T, bool>>>
  Value(T n) : kind_(kNumber), number_(static_cast<long long>(n)) {}
  Value(bool b) : kind_(kTruth), number_(b ? 1 : 0) {}
  Value(std::string_view text) : kind_(kText), text_(text) {}
  Value(const char* text) : Value(std::string_view(text)) {}
  Value(const std::string& text) : Value(std::string_view(text)) {}

 private:
  friend class Json;
  enum Kind { kNumber, kTruth, kText } kind_;
  long long number_ = 0;
  std::string_view text_;
};
// One member of an object: its key and its value.
struct Member {
  std::string_view key;
  Value value;
};

class Json {
 public:
  // Opens an object ('{') or an array ('['), as a value.
  Json& Open(char bracket) {
    Separate();
    out_ += bracket;
    comma_ = false;
    return *this;
  }
  // Closes what the last open opened.
  Json& Close(char bracket) {
    out_ += bracket;
    comma_ = true;
    return *this;
  }
  // The key of the next value, in an object.
  Json& Key(std::string_view key) {
    Str(key);
    out_ += ':';
    comma_ = false;
    return *this;
  }
  Json& Num(long long n) {
    char s[24];
    std::snprintf(s, sizeof s, "%lld", n);
    return Raw(s);
  }
  Json& Bool(bool b) { return Raw(b ? "true" : "false"); }
  // text (UTF-8) as a JSON string.
  Json& Str(std::string_view text) {
    Separate();
    out_ += '"';
    for (const char c : text) {
      if (c == '"' || c == '\\') {
        out_ += '\\';
        out_ += c;
      } else if (static_cast<unsigned char>(c) < 0x20) {
        char u[8];
        std::snprintf(u, sizeof u, "\\u%04x", static_cast<unsigned>(c));
        out_ += u;
      } else {
        out_ += c;
      }
    }
    out_ += '"';
    comma_ = true;
    return *this;
  }
  // A key and its value at once.
  Json& Field(std::string_view key, const Value& value) {
    Key(key);
    if (value.kind_ == Value::kText) return Str(value.text_);
    if (value.kind_ == Value::kTruth) return Bool(value.number_ != 0);
    return Num(value.number_);
  }
  // Members of the object opened last, in order: a record's whole list.
  Json& Members(std::initializer_list<Member> members) {
    for (const Member& m : members) Field(m.key, m.value);
    return *this;
  }
  [[nodiscard]] const std::string& text() const { return out_; }

 private:
  Json& Raw(const char* value) {
    Separate();
    out_ += value;
    comma_ = true;
    return *this;
  }
  void Separate() {
    if (comma_) out_ += ',';
  }
  std::string out_;
  bool comma_ = false;  // a value came last: the next one needs a comma
};

}  // namespace web

#endif  // ZOL_WEB_JSON_H
