#include "wmi/wql.h"

#include <cctype>

#include "wmi/error.h"
#include "wmi/text.h"

namespace wmi {

namespace {

class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}

  void SkipBlanks() {
    while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) ++pos_;
  }
  bool AtEnd() {
    SkipBlanks();
    return pos_ == text_.size();
  }
  // A word: letters, digits and underscores.
  std::string_view Word() {
    SkipBlanks();
    std::size_t start = pos_;
    while (pos_ < text_.size() && (std::isalnum(static_cast<unsigned char>(text_[pos_])) || text_[pos_] == '_')) ++pos_;
    return text_.substr(start, pos_ - start);
  }
  void Keyword(std::string_view kw) {
    std::string_view w = Word();
    if (!EqualsIgnoreCase(w, kw)) Fail("expected " + std::string(kw));
  }
  void Symbol(char c) {
    SkipBlanks();
    if (pos_ >= text_.size() || text_[pos_] != c) Fail(std::string("expected ") + c);
    ++pos_;
  }
  std::string Literal() {
    SkipBlanks();
    if (pos_ >= text_.size() || (text_[pos_] != '\'' && text_[pos_] != '"')) Fail("expected a string literal");
    char quote = text_[pos_++];
    std::string out;
    while (pos_ < text_.size()) {
      char c = text_[pos_++];
      if (c == '\\') {
        if (pos_ >= text_.size()) break;
        out += text_[pos_++];
      } else if (c == quote) {
        return out;
      } else {
        out += c;
      }
    }
    Fail("unterminated string literal");
  }
  [[noreturn]] void Fail(const std::string& why) {
    throw Error(ErrorCode::InvalidQuery, "invalid query (" + why + "): " + std::string(text_));
  }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

}  // namespace

WqlQuery ParseWql(std::string_view text) {
  Reader r(text);
  r.Keyword("select");
  r.Symbol('*');
  r.Keyword("from");
  WqlQuery q;
  q.class_name = std::string(r.Word());
  if (q.class_name.empty()) r.Fail("expected a class name");
  if (r.AtEnd()) return q;
  r.Keyword("where");
  WqlQuery::Condition c;
  c.property = std::string(r.Word());
  if (c.property.empty()) r.Fail("expected a property name");
  r.Symbol('=');
  c.literal = r.Literal();
  if (!r.AtEnd()) r.Fail("unexpected text after the condition");
  q.where = std::move(c);
  return q;
}

std::string WqlStringLiteral(std::string_view value) {
  std::string out;
  out.reserve(value.size() + 2);
  out += '\'';
  for (char c : value) {
    if (c == '\'' || c == '\\') out += '\\';
    out += c;
  }
  out += '\'';
  return out;
}

bool WqlQuery::Matches(const Instance& instance) const {
  if (!where) return true;
  const Property* p = instance.Find(where->property);
  if (!p || p->value.kind() != Value::Kind::Text) return false;
  return EqualsIgnoreCase(p->value.text(), where->literal);
}

}  // namespace wmi
