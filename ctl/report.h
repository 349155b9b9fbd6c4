// A tree of named values, printed in the order it was built: as indented
// text for people or as JSON for scripts. The listing commands build one tree
// and print it either way, so both always carry the same fields.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zr::ctl {

// Where a listed number is kept: a field of one of the records a listing
// shows (`record` is the listing's own number for it), at a byte offset, of
// a width. A number without one is derived or tells where things are.
enum class FieldWidth : std::uint8_t { U8, S8, U16, S32 };
struct StoredField {
  int record = -1;
  std::size_t offset = 0;
  FieldWidth width = FieldWidth::U8;
};
// The values a field of that width holds.
std::int64_t FieldMin(FieldWidth w);
std::int64_t FieldMax(FieldWidth w);

class Node {
 public:
  enum class Kind { Null, Bool, Number, Text, Object, Array };

  Node() = default;  // null
  static Node Bool(bool v);
  static Node Number(std::int64_t v);
  static Node Field(std::int64_t v, StoredField where);
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
  const std::optional<StoredField>& field() const { return field_; }
  // The same kind and value; members and items alike, in order.
  bool operator==(const Node& other) const;

 private:
  Kind kind_ = Kind::Null;
  std::optional<StoredField> field_;
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
// The path of a value inside a document, as scripts write it:
// slots[2].profile.cpi.levels[4].x ("the document" for the root).
std::string PathText(const std::string& path);

struct JsonDocument {
  Node root;
  std::string error;  // why the text is no JSON that zrctl takes, with where
  bool ok() const { return error.empty(); }
};
// JSON as ToJson writes it: numbers are whole (those with a fraction or an
// exponent are refused, as are keys given twice in one object); strings come
// back as UTF-8.
JsonDocument ParseJson(std::string_view text);
// "key: value" lines, nested members indented by two spaces; an array item
// whose members are all scalars is one "- key: value, ..." line.
std::string ToText(const Node& node);

}  // namespace zr::ctl
