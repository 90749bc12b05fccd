#ifndef HUSHMARK_CHAPTERS_JSON_READER_H_
#define HUSHMARK_CHAPTERS_JSON_READER_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace hushmark {

// A JSON value, as much as reading a chapter listing needs of it.
struct JsonValue {
  enum class Kind { kNull, kBool, kNumber, kString, kArray, kObject };
  Kind kind = Kind::kNull;
  std::string text;               // a string's UTF-8, a number as written
  std::vector<JsonValue> items;   // an array's items, an object's values
  std::vector<std::string> keys;  // an object's keys, one per item
  std::size_t line = 0;           // where the value starts, from 1
};

// Where and why JSON was refused.
struct JsonError {
  std::size_t line = 0;    // where reading stopped, from 1
  bool too_large = false;  // more values than any listing holds
};

// Reads text as one JSON value. Nesting deeper than 64 and more than 500,000
// values are refused, so that no input exhausts the stack or the memory. A
// \u escape of a lone surrogate keeps its own three bytes, which are not
// valid UTF-8. False, with error filled, on anything else than one value.
bool read_json(std::string_view text, JsonValue& root, JsonError& error);

// The value of key in an object (the first, should it repeat), or nullptr.
const JsonValue* json_member(const JsonValue& object, std::string_view key);

}  // namespace hushmark

#endif  // HUSHMARK_CHAPTERS_JSON_READER_H_
