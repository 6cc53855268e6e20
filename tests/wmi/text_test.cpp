#include "wmi/text.h"

#include <gtest/gtest.h>

#include <optional>

#include "wmi/error.h"

namespace {

using wmi::Value;

// nullopt stands for "the operation fails".
struct TextCase {
  const char* name;
  Value value;
  std::optional<std::string> join;     // Join("L: ", value)
  std::optional<std::string> convert;  // Convert(value)
  std::optional<std::string> add;      // Add("N:", value)
  std::int32_t upper;                  // SafeUpperBound(value, -1)
};

void PrintTo(const TextCase& c, std::ostream* os) { *os << c.name; }

const Value kEmptyArray{std::vector<Value>{}};

class TextRules : public ::testing::TestWithParam<TextCase> {};

template <class F>
std::optional<std::string> Outcome(F f) {
  try {
    return f();
  } catch (const wmi::Error& e) {
    EXPECT_EQ(e.code(), wmi::ErrorCode::TypeMismatch);
    return std::nullopt;
  }
}

TEST_P(TextRules, EachOperationTreatsTheValueByItsRule) {
  const TextCase& c = GetParam();
  EXPECT_EQ(Outcome([&] { return wmi::Join("L: ", c.value); }), c.join);
  EXPECT_EQ(Outcome([&] { return wmi::Convert(c.value); }), c.convert);
  EXPECT_EQ(Outcome([&] { return wmi::Add("N:", c.value); }), c.add);
  EXPECT_EQ(wmi::SafeUpperBound(c.value, -1), c.upper);
}

INSTANTIATE_TEST_SUITE_P(
    Values, TextRules,
    ::testing::Values(
        TextCase{"Null", Value(), "L: ", std::nullopt, std::nullopt, -1},
        TextCase{"Integer", Value(std::int64_t{53686402560}), "L: 53686402560", "53686402560", std::nullopt, -1},
        TextCase{"NegativeInteger", Value(-1), "L: -1", "-1", std::nullopt, -1},
        TextCase{"Real", Value(1.5), "L: 1.5", "1.5", std::nullopt, -1},
        TextCase{"RealShortestForm", Value(0.1), "L: 0.1", "0.1", std::nullopt, -1},
        TextCase{"True", Value(true), "L: True", "True", std::nullopt, -1},
        TextCase{"False", Value(false), "L: False", "False", std::nullopt, -1},
        TextCase{"Text", Value("Disk 0"), "L: Disk 0", "Disk 0", "N:Disk 0", -1},
        TextCase{"EmptyText", Value(""), "L: ", "", "N:", -1},
        TextCase{"JapaneseText", Value("東京"), "L: 東京", "東京", "N:東京", -1},
        TextCase{"ThreeElements", Value(std::vector<Value>{3, 4, 10}), std::nullopt, std::nullopt, std::nullopt, 2},
        TextCase{"EmptyArray", kEmptyArray, std::nullopt, std::nullopt, std::nullopt, -1},
        TextCase{"TextArray", Value(std::vector<Value>{"a"}), std::nullopt, std::nullopt, std::nullopt, 0},
        TextCase{"Object", Value(wmi::Object{"Win32_Foo"}), std::nullopt, std::nullopt, std::nullopt, -1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SafeUpperBound, DimensionsBeyondTheFirstDoNotExist) {
  Value three(std::vector<Value>{1, 2, 3});
  EXPECT_EQ(wmi::SafeUpperBound(three, 1), 2);
  EXPECT_EQ(wmi::SafeUpperBound(three, 2), -1);
  EXPECT_EQ(wmi::SafeUpperBound(three, 0), -1);
  EXPECT_EQ(wmi::SafeUpperBound(three, -2), -1);
}

TEST(UpperBound, FailsOnAnythingButAnArray) {
  EXPECT_EQ(wmi::UpperBound(kEmptyArray), -1);
  EXPECT_THROW(wmi::UpperBound(Value()), wmi::Error);
  EXPECT_THROW(wmi::UpperBound(Value("x")), wmi::Error);
}

}  // namespace

namespace {

// What a line shows of a value: breaks and controls escaped, everything else as it is; twice is once.
TEST(EscapeLine, ShowsBreaksAndControlsNeverActsOnThem) {
  const std::pair<std::string, std::string> cases[] = {
      {"C:\\Windows\\System32 \xc3\xa9 \xe6\x97\xa5\tx", "C:\\Windows\\System32 \xc3\xa9 \xe6\x97\xa5\tx"},
      {"A\r\nSerialNumber: FORGED", "A\\r\\nSerialNumber: FORGED"},
      {"\x1b[2J\x07\x7f", "\\x1b[2J\\x07\\x7f"},
      {std::string("a\0b", 3), "a\\x00b"},
      {"\xc2\x85\xc2\x9b", "\\u0085\\u009b"},              // C1: NEL, CSI
      {"L\xe2\x80\xa8P\xe2\x80\xa9", "L\\u2028P\\u2029"},  // line and paragraph separators
      {"\xe2\x80\xaa\xe2\x80\xae\xe2\x81\xa6\xe2\x81\xa9", "\\u202a\\u202e\\u2066\\u2069"},  // bidi controls
      {"\xe2\x80\xa7\xe2\x80\xaf\xe2\x81\xa5\xe2\x81\xaa",
       "\xe2\x80\xa7\xe2\x80\xaf\xe2\x81\xa5\xe2\x81\xaa"},  // neighbours
      {"\xe2\x80", "\xe2\x80"},                              // cut off: not one of them
  };
  for (const auto& [in, out] : cases) {
    EXPECT_EQ(wmi::EscapeLine(in), out) << in;
    EXPECT_EQ(wmi::EscapeLine(out), out) << out;
  }
}

}  // namespace
