// The small WQL reader that backends without a query engine of their own use:
//   SELECT * FROM <class>
//   SELECT * FROM <class> WHERE <property> = '<literal>'
// Keywords in any case, blanks around the words allowed; in the literal a
// backslash escapes the next character. Anything else is an invalid query.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "wmi/instance.h"

namespace wmi {

struct WqlQuery {
  std::string class_name;
  struct Condition {
    std::string property;
    std::string literal;  // escapes resolved
  };
  std::optional<Condition> where;

  // Whether an instance satisfies the WHERE clause (text compared without
  // regard to case, as WMI compares strings). An instance without the
  // property, or whose value is not text, does not match.
  bool Matches(const Instance& instance) const;
};

// Throws Error(InvalidQuery) for text outside the forms above.
WqlQuery ParseWql(std::string_view text);

// `value` as a WQL string literal: in single quotes, with each quote and
// backslash in it escaped by a backslash, so that it reads back as `value`.
std::string WqlStringLiteral(std::string_view value);

}  // namespace wmi
