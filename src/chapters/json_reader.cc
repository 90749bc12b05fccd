#include "chapters/json_reader.h"

#include "platform/utf8.h"

namespace hushmark {
namespace {

// JSON nested deeper than any chapter listing is refused before it can
// exhaust the stack; so is one with more values than memory should hold.
constexpr int kMaxJsonDepth = 64;
constexpr std::size_t kMaxJsonValues = 500'000;

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

struct JsonCursor {
  std::string_view text;
  std::size_t at = 0;
  std::size_t line = 1;
  std::size_t values = 0;
  bool too_large = false;

  void skip_space() {
    for (; at < text.size(); ++at) {
      char c = text[at];
      if (c == '\n') {
        ++line;
      } else if (c != ' ' && c != '\t' && c != '\r') {
        return;
      }
    }
  }
  bool take(char c) {
    skip_space();
    if (at >= text.size() || text[at] != c) return false;
    ++at;
    return true;
  }
  bool take_word(std::string_view word) {
    if (!text.substr(at).starts_with(word)) return false;
    at += word.size();
    return true;
  }
};

int hex_digit(char c) {
  if (is_digit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Four hex digits after "\u"; false when they are not.
bool json_hex4(JsonCursor& in, char32_t& c) {
  if (in.text.size() - in.at < 4) return false;
  c = 0;
  for (int k = 0; k < 4; ++k) {
    int digit = hex_digit(in.text[in.at++]);
    if (digit < 0) return false;
    c = c * 16 + static_cast<char32_t>(digit);
  }
  return true;
}

// A lone surrogate keeps its own three bytes, which are not valid UTF-8 and
// so refuse the title that holds it.
bool json_escape(JsonCursor& in, std::string& out) {
  if (in.at >= in.text.size()) return false;
  char c = in.text[in.at++];
  static constexpr std::string_view kFrom = "\"\\/bfnrt",
                                    kTo = "\"\\/\b\f\n\r\t";
  if (std::size_t k = kFrom.find(c); k != std::string_view::npos) {
    out += kTo[k];
    return true;
  }
  char32_t code = 0;
  if (c != 'u' || !json_hex4(in, code)) return false;
  if (code >= 0xD800 && code <= 0xDBFF && in.take_word("\\u")) {
    char32_t low = 0;
    if (!json_hex4(in, low)) return false;
    if (low >= 0xDC00 && low <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
    } else {
      platform::append_utf8(out, code);
      code = low;
    }
  }
  platform::append_utf8(out, code);
  return true;
}

bool json_string(JsonCursor& in, std::string& out) {
  if (!in.take('"')) return false;
  while (in.at < in.text.size()) {
    char c = in.text[in.at++];
    if (c == '"') return true;
    if (static_cast<unsigned char>(c) < 0x20) return false;
    if (c != '\\') {
      out += c;
    } else if (!json_escape(in, out)) {
      return false;
    }
  }
  return false;
}

bool json_number(JsonCursor& in, std::string& out) {
  std::size_t start = in.at;
  if (in.at < in.text.size() && in.text[in.at] == '-') ++in.at;
  auto digits = [&in] {
    std::size_t from = in.at;
    while (in.at < in.text.size() && is_digit(in.text[in.at]))
      ++in.at;
    return in.at > from;
  };
  if (!digits()) return false;
  if (in.at < in.text.size() && in.text[in.at] == '.') {
    ++in.at;
    if (!digits()) return false;
  }
  if (in.at < in.text.size() && (in.text[in.at] | 0x20) == 'e') {
    ++in.at;
    if (in.at < in.text.size() &&
        (in.text[in.at] == '+' || in.text[in.at] == '-')) {
      ++in.at;
    }
    if (!digits()) return false;
  }
  out = in.text.substr(start, in.at - start);
  return true;
}

bool json_value(JsonCursor& in, JsonValue& value, int depth);

// The items of an array, or the members of an object, up to close.
bool json_items(JsonCursor& in, JsonValue& value, char close, int depth) {
  if (in.take(close)) return true;
  do {
    if (value.kind == JsonValue::Kind::kObject) {
      std::string key;
      if (!json_string(in, key) || !in.take(':')) return false;
      value.keys.push_back(std::move(key));
    }
    value.items.emplace_back();
    if (!json_value(in, value.items.back(), depth + 1)) return false;
  } while (in.take(','));
  return in.take(close);
}

bool json_value(JsonCursor& in, JsonValue& value, int depth) {
  in.skip_space();
  value.line = in.line;
  if (depth > kMaxJsonDepth || ++in.values > kMaxJsonValues) {
    in.too_large = in.values > kMaxJsonValues;
    return false;
  }
  if (in.at >= in.text.size()) return false;
  using Kind = JsonValue::Kind;
  switch (in.text[in.at]) {
  case '{':
    ++in.at;
    value.kind = Kind::kObject;
    return json_items(in, value, '}', depth);
  case '[':
    ++in.at;
    value.kind = Kind::kArray;
    return json_items(in, value, ']', depth);
  case '"':
    value.kind = Kind::kString;
    return json_string(in, value.text);
  case 't':
  case 'f':
    value.kind = Kind::kBool;
    return in.take_word("true") || in.take_word("false");
  case 'n':
    return in.take_word("null");
  default:
    value.kind = Kind::kNumber;
    return json_number(in, value.text);
  }
}

}  // namespace

bool read_json(std::string_view text, JsonValue& root, JsonError& error) {
  JsonCursor in{text};
  root = {};
  bool read = json_value(in, root, 0);
  if (read) in.skip_space();
  error = {in.line, in.too_large};
  return read && in.at == text.size();
}

const JsonValue* json_member(const JsonValue& object, std::string_view key) {
  for (std::size_t k = 0; k < object.keys.size(); ++k) {
    if (object.keys[k] == key) return &object.items[k];
  }
  return nullptr;
}

}  // namespace hushmark
