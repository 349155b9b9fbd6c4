// A tree of named values, printed in the order it was built: as indented
// text for people or as JSON for scripts. The listing commands build one tree
// and print it either way, so both always carry the same fields.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace zr::ctl {

class Node {
 public:
  enum class Kind { Null, Bool, Number, Text, Object, Array };

  Node() = default;  // null
  static Node Bool(bool v);
  static Node Number(std::int64_t v);
  static Node Text(std::string v);
  static Node Object();
  static Node Array();

  // Object members keep the order they were added in.
  Node& Add(std::string key, Node value);
  Node& Push(Node value);

  Kind kind() const { return kind_; }
  bool IsScalar() const { return kind_ != Kind::Object && kind_ != Kind::Array; }
  const std::vector<std::pair<std::string, Node>>& members() const { return members_; }
  const std::vector<Node>& items() const { return items_; }
  bool boolean() const { return bool_; }
  std::int64_t number() const { return number_; }
  const std::string& text() const { return text_; }

 private:
  Kind kind_ = Kind::Null;
  bool bool_ = false;
  std::int64_t number_ = 0;
  std::string text_;
  std::vector<std::pair<std::string, Node>> members_;
  std::vector<Node> items_;
};

// A JSON string literal; text that is not valid UTF-8 has each bad byte
// replaced by U+FFFD, so the output is always valid JSON.
std::string JsonString(std::string_view text);
// Two-space indented JSON, ending with a newline.
std::string ToJson(const Node& node);
// "key: value" lines, nested members indented by two spaces; an array item
// whose members are all scalars is one "- key: value, ..." line.
std::string ToText(const Node& node);

}  // namespace zr::ctl
