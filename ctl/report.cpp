#include "ctl/report.h"

#include <cstdio>

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
      out.append(text.substr(i, n));
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

}  // namespace zr::ctl
