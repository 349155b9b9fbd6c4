#include "ctl/report.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/text.h"

namespace zr::ctl {

Node Node::Bool(bool v) {
  Node n;
  n.kind_ = Kind::Bool;
  n.bool_ = v;
  return n;
}

Node Node::Number(std::int64_t v) {
  Node n;
  n.kind_ = Kind::Number;
  n.number_ = v;
  return n;
}

Node Node::Field(std::int64_t v, StoredField where) {
  Node n = Number(v);
  n.field_ = where;
  return n;
}

std::int64_t FieldMin(FieldWidth w) {
  switch (w) {
    case FieldWidth::S8: return INT8_MIN;
    case FieldWidth::S32: return INT32_MIN;
    default: return 0;
  }
}

std::int64_t FieldMax(FieldWidth w) {
  switch (w) {
    case FieldWidth::U8: return UINT8_MAX;
    case FieldWidth::S8: return INT8_MAX;
    case FieldWidth::U16: return UINT16_MAX;
    case FieldWidth::S32: return INT32_MAX;
  }
  return 0;
}

bool Node::operator==(const Node& other) const {
  return kind_ == other.kind_ && bool_ == other.bool_ && number_ == other.number_ && text_ == other.text_ &&
         members_ == other.members_ && items_ == other.items_;
}

Node Node::Text(std::string v) {
  Node n;
  n.kind_ = Kind::Text;
  n.text_ = std::move(v);
  return n;
}

Node Node::Object() {
  Node n;
  n.kind_ = Kind::Object;
  return n;
}

Node Node::Array() {
  Node n;
  n.kind_ = Kind::Array;
  return n;
}

Node& Node::Add(std::string key, Node value) {
  members_.emplace_back(std::move(key), std::move(value));
  return members_.back().second;
}

Node& Node::Push(Node value) {
  items_.push_back(std::move(value));
  return items_.back();
}

namespace {

// Length of the valid UTF-8 sequence at text[i], or 0.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t i) {
  const auto b = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char c = b(i);
  std::size_t n = 0;
  std::uint32_t cp = 0;
  if (c < 0x80) return 1;
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2;
    cp = c & 0x1F;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3;
    cp = c & 0x0F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4;
    cp = c & 0x07;
  } else {
    return 0;
  }
  if (i + n > text.size()) return 0;
  for (std::size_t k = 1; k < n; ++k) {
    if ((b(i + k) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b(i + k) & 0x3F);
  }
  const bool overlong = (n == 3 && cp < 0x800) || (n == 4 && cp < 0x10000);
  const bool surrogate = cp >= 0xD800 && cp <= 0xDFFF;
  if (overlong || surrogate || cp > 0x10FFFF) return 0;
  return n;
}

std::string Scalar(const Node& node) {
  switch (node.kind()) {
    case Node::Kind::Null: return "null";
    case Node::Kind::Bool: return node.boolean() ? "true" : "false";
    case Node::Kind::Number: return std::to_string(node.number());
    case Node::Kind::Text: return node.text();
    default: return {};
  }
}

void Json(const Node& node, int depth, std::string& out) {
  const std::string inner(static_cast<std::size_t>(depth + 1) * 2, ' ');
  const std::string outer(static_cast<std::size_t>(depth) * 2, ' ');
  if (node.kind() == Node::Kind::Text) {
    out += JsonString(node.text());
  } else if (node.kind() == Node::Kind::Object) {
    if (node.members().empty()) {
      out += "{}";
      return;
    }
    out += "{\n";
    for (std::size_t i = 0; i < node.members().size(); ++i) {
      out += inner + JsonString(node.members()[i].first) + ": ";
      Json(node.members()[i].second, depth + 1, out);
      out += i + 1 < node.members().size() ? ",\n" : "\n";
    }
    out += outer + "}";
  } else if (node.kind() == Node::Kind::Array) {
    if (node.items().empty()) {
      out += "[]";
      return;
    }
    out += "[\n";
    for (std::size_t i = 0; i < node.items().size(); ++i) {
      out += inner;
      Json(node.items()[i], depth + 1, out);
      out += i + 1 < node.items().size() ? ",\n" : "\n";
    }
    out += outer + "]";
  } else {
    out += Scalar(node);
  }
}

bool AllScalar(const Node& node) {
  for (const auto& [key, value] : node.members()) {
    if (!value.IsScalar()) return false;
  }
  return true;
}

std::string InlineArray(const Node& node) {
  std::string out = "[";
  for (std::size_t i = 0; i < node.items().size(); ++i) out += (i ? ", " : "") + Scalar(node.items()[i]);
  return out + "]";
}

bool ScalarArray(const Node& node) {
  for (const Node& item : node.items()) {
    if (!item.IsScalar()) return false;
  }
  return true;
}

void Text(const Node& node, const std::string& indent, std::string& out);

void TextMember(const std::string& key, const Node& value, const std::string& indent, std::string& out) {
  if (value.IsScalar()) {
    out += indent + key + ": " + Scalar(value) + "\n";
  } else if (value.kind() == Node::Kind::Array && ScalarArray(value)) {
    out += indent + key + ": " + InlineArray(value) + "\n";
  } else {
    out += indent + key + ":\n";
    Text(value, indent + "  ", out);
  }
}

void Text(const Node& node, const std::string& indent, std::string& out) {
  if (node.kind() == Node::Kind::Object) {
    for (const auto& [key, value] : node.members()) TextMember(key, value, indent, out);
  } else if (node.kind() == Node::Kind::Array) {
    for (const Node& item : node.items()) {
      if (item.kind() == Node::Kind::Object && AllScalar(item)) {
        std::string line;
        for (const auto& [key, value] : item.members()) line += (line.empty() ? "" : ", ") + key + ": " + Scalar(value);
        out += indent + "- " + line + "\n";
      } else if (item.IsScalar()) {
        out += indent + "- " + Scalar(item) + "\n";
      } else {
        out += indent + "-\n";
        Text(item, indent + "  ", out);
      }
    }
  } else {
    out += indent + Scalar(node) + "\n";
  }
}

}  // namespace

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c == 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else if (c >= 0x80) {
      const std::size_t n = Utf8SequenceLength(text, i);
      if (n == 0) {
        out += "\\ufffd";
        ++i;
        continue;
      }
      // Beyond ASCII as \uXXXX (a surrogate pair above U+FFFF): the JSON is
      // plain ASCII, so a reader that takes the bytes in the console's code
      // page still gets the right text.
      for (const char16_t unit : Utf8ToUtf16(text.substr(i, n))) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(unit));
        out += buf;
      }
      i += n;
      continue;
    } else {
      out += static_cast<char>(c);
    }
    ++i;
  }
  return out + "\"";
}

std::string ToJson(const Node& node) {
  std::string out;
  Json(node, 0, out);
  return out + "\n";
}

std::string ToText(const Node& node) {
  std::string out;
  Text(node, "", out);
  return out;
}

std::string PathText(const std::string& path) { return path.empty() ? "the document" : path; }

namespace {

// Recursive descent over the text; the first fault ends it.
class JsonParser {
 public:
  explicit JsonParser(std::string_view text) : text_(text) {}

  JsonDocument Parse() {
    JsonDocument doc;
    if (text_.starts_with("\xEF\xBB\xBF")) at_ = 3;  // the byte order mark Notepad writes
    if (text_.starts_with("\xFF\xFE") || text_.starts_with("\xFE\xFF")) {
      doc.error = "the file is in UTF-16; save it as UTF-8";
      return doc;
    }
    if (!Value(doc.root, "", 0)) {
      doc.error = error_;
      return doc;
    }
    Blank();
    if (at_ != text_.size()) {
      Fail("", "more text after the document's end");
      doc.error = error_;
    }
    return doc;
  }

 private:
  static constexpr int kMaxDepth = 64;

  bool Fail(const std::string& path, const std::string& what) {
    std::size_t line = 1, column = 1;
    for (std::size_t i = 0; i < at_ && i < text_.size(); ++i) {
      if (text_[i] == '\n') {
        ++line;
        column = 1;
      } else {
        ++column;
      }
    }
    error_ =
        "line " + std::to_string(line) + ", column " + std::to_string(column) + " (" + PathText(path) + "): " + what;
    return false;
  }

  void Blank() {
    while (at_ < text_.size() &&
           (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r')) {
      ++at_;
    }
  }

  bool Take(char c) {
    Blank();
    if (at_ < text_.size() && text_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }

  bool Value(Node& out, const std::string& path, int depth) {
    if (depth > kMaxDepth) return Fail(path, "nested too deeply");
    Blank();
    if (at_ >= text_.size()) return Fail(path, "a value is missing");
    const char c = text_[at_];
    if (c == '{') return Object(out, path, depth);
    if (c == '[') return Array(out, path, depth);
    if (c == '"') {
      std::string s;
      if (!String(s, path)) return false;
      out = Node::Text(std::move(s));
      return true;
    }
    if (c == '-' || (c >= '0' && c <= '9')) return Number(out, path);
    for (const auto& [word, node] :
         {std::pair{"true", Node::Bool(true)}, std::pair{"false", Node::Bool(false)}, std::pair{"null", Node()}}) {
      if (text_.substr(at_).starts_with(word)) {
        at_ += std::strlen(word);
        out = node;
        return true;
      }
    }
    return Fail(path, "no JSON value begins here");
  }

  bool Object(Node& out, const std::string& path, int depth) {
    ++at_;
    out = Node::Object();
    if (Take('}')) return true;
    do {
      Blank();
      std::string key;
      if (at_ >= text_.size() || text_[at_] != '"') return Fail(path, "a key in double quotes is expected");
      if (!String(key, path)) return false;
      for (const auto& [existing, value] : out.members()) {
        if (existing == key) return Fail(path, "the key \"" + key + "\" is given twice");
      }
      if (!Take(':')) return Fail(path, "':' is expected after the key \"" + key + "\"");
      const std::string inner = path.empty() ? key : path + "." + key;
      Node value;
      if (!Value(value, inner, depth + 1)) return false;
      out.Add(key, std::move(value));
    } while (Take(','));
    return Take('}') || Fail(path, "',' or '}' is expected");
  }

  bool Array(Node& out, const std::string& path, int depth) {
    ++at_;
    out = Node::Array();
    if (Take(']')) return true;
    do {
      Node value;
      if (!Value(value, path + "[" + std::to_string(out.items().size()) + "]", depth + 1)) return false;
      out.Push(std::move(value));
    } while (Take(','));
    return Take(']') || Fail(path, "',' or ']' is expected");
  }

  bool Number(Node& out, const std::string& path) {
    const std::size_t start = at_;
    if (text_[at_] == '-') ++at_;
    const std::size_t digits = at_;
    while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') ++at_;
    if (at_ == digits || (text_[digits] == '0' && at_ - digits > 1)) return Fail(path, "a malformed number");
    bool whole = true;
    while (at_ < text_.size() && (std::strchr("0123456789.eE+-", text_[at_]) != nullptr)) {
      whole = false;
      ++at_;
    }
    const std::string number(text_.substr(start, at_ - start));
    errno = 0;
    const long long v = whole ? std::strtoll(number.c_str(), nullptr, 10) : 0;
    if (!whole || errno == ERANGE) {
      at_ = start;  // the error points at the number
      return Fail(path, number + (whole ? " is too large" : " is not a whole number"));
    }
    out = Node::Number(v);
    return true;
  }

  bool Hex4(unsigned& unit, const std::string& path) {
    if (at_ + 4 > text_.size()) return Fail(path, "\\u needs four hexadecimal digits");
    unit = 0;
    for (int i = 0; i < 4; ++i) {
      const char h = text_[at_++];
      const int d = h >= '0' && h <= '9'   ? h - '0'
                    : h >= 'a' && h <= 'f' ? h - 'a' + 10
                    : h >= 'A' && h <= 'F' ? h - 'A' + 10
                                           : -1;
      if (d < 0) return Fail(path, "\\u needs four hexadecimal digits");
      unit = unit * 16 + static_cast<unsigned>(d);
    }
    return true;
  }

  bool String(std::string& out, const std::string& path) {
    ++at_;
    char16_t high = 0;  // the first half of a \\u escape pair, waiting for its second
    while (true) {
      if (at_ >= text_.size()) return Fail(path, "a string has no closing '\"'");
      const char c = text_[at_++];
      const bool unitFollows = c == '\\' && at_ < text_.size() && text_[at_] == 'u';
      if (high != 0 && !unitFollows) return Fail(path, "a \\u escape of half a character");
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return Fail(path, "a control character inside a string");
      if (static_cast<unsigned char>(c) >= 0x80) {
        const std::size_t n = Utf8SequenceLength(text_, at_ - 1);
        if (n == 0) {
          --at_;  // the error points at the byte
          return Fail(path, "a string that is not UTF-8 (save the file as UTF-8)");
        }
        out += text_.substr(at_ - 1, n);
        at_ += n - 1;
        continue;
      }
      if (c != '\\') {
        out += c;
        continue;
      }
      if (at_ >= text_.size()) return Fail(path, "a string has no closing '\"'");
      const char e = text_[at_++];
      if (e == 'u') {
        unsigned unit = 0;
        if (!Hex4(unit, path)) return false;
        const bool isHigh = unit >= 0xD800 && unit <= 0xDBFF;
        const bool isLow = unit >= 0xDC00 && unit <= 0xDFFF;
        if (isLow != (high != 0)) return Fail(path, "a \\u escape of half a character");
        if (isHigh) {
          high = static_cast<char16_t>(unit);
          continue;
        }
        std::u16string units;
        if (high != 0) units += high;
        units += static_cast<char16_t>(unit);
        out += Utf16ToUtf8(units);
        high = 0;
        continue;
      }
      const char* kEscapes = "\"\\/bfnrt";
      const char* kMeaning = "\"\\/\b\f\n\r\t";
      const char* found = e == '\0' ? nullptr : std::strchr(kEscapes, e);
      if (found == nullptr) return Fail(path, std::string("\\") + e + " is no JSON escape");
      out += kMeaning[found - kEscapes];
    }
  }

  std::string_view text_;
  std::size_t at_ = 0;
  std::string error_;
};

}  // namespace

JsonDocument ParseJson(std::string_view text) { return JsonParser(text).Parse(); }

}  // namespace zr::ctl
