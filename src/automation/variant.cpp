#include "automation/variant.h"

#include <cmath>
#include <cstdlib>
#include <limits>

#include "automation/dispatch.h"

namespace comvorlix {
namespace {

[[noreturn]] void TypeMismatch(const char* what) {
  throw AutomationError(Status::kTypeMismatch, std::string("Type mismatch: ") + what);
}

[[noreturn]] void Overflow(const char* target) {
  throw AutomationError(Status::kOverflow, std::string("Overflow: value does not fit into ") + target);
}

// Reads a whole text as a number: blanks around it are allowed, nothing else.
double ParseNumber(const Text& text) {
  std::string s = ToUtf8(TrimBlanks(text));
  if (s.empty()) TypeMismatch("text is not a number");
  // Hex and other prefixes are not numbers here; strtod would accept "0x".
  for (char c : s) {
    if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E')) {
      TypeMismatch("text is not a number");
    }
  }
  char* end = nullptr;
  double v = std::strtod(s.c_str(), &end);
  if (end != s.c_str() + s.size()) TypeMismatch("text is not a number");
  return v;
}

template <typename Int>
Int ToWhole(double v, const char* target) {
  if (std::isnan(v)) Overflow(target);
  double r = RoundHalfEven(v);
  if (r < static_cast<double>(std::numeric_limits<Int>::min()) ||
      r > static_cast<double>(std::numeric_limits<Int>::max())) {
    Overflow(target);
  }
  return static_cast<Int>(r);
}

}  // namespace

double RoundHalfEven(double v) { return std::nearbyint(v); }  // default FE_TONEAREST

Variant Variant::Boolean(bool b) { return Variant(Bool{b ? kVariantTrue : kVariantFalse}); }
Variant Variant::Int16(int16_t v) { return Variant(Storage(v)); }
Variant Variant::Int32(int32_t v) { return Variant(Storage(v)); }
Variant Variant::FromText(Text t) { return Variant(Storage(std::move(t))); }
Variant Variant::Object(std::shared_ptr<Dispatch> object) { return Variant(Storage(std::move(object))); }

Variant::Type Variant::type() const { return static_cast<Type>(value_.index()); }

Text Variant::ToText() const {
  switch (type()) {
    case Type::kEmpty:
      return Text();
    case Type::kBoolean:
      return std::get<Bool>(value_).value ? T("True") : T("False");
    case Type::kInt16:
      return T(std::to_string(std::get<int16_t>(value_)));
    case Type::kInt32:
      return T(std::to_string(std::get<int32_t>(value_)));
    case Type::kText:
      return std::get<Text>(value_);
    case Type::kObject:
      TypeMismatch("an object has no text");
  }
  return Text();
}

double Variant::ToDouble() const {
  switch (type()) {
    case Type::kEmpty:
      return 0;
    case Type::kBoolean:
      return std::get<Bool>(value_).value;
    case Type::kInt16:
      return std::get<int16_t>(value_);
    case Type::kInt32:
      return std::get<int32_t>(value_);
    case Type::kText:
      return ParseNumber(std::get<Text>(value_));
    case Type::kObject:
      TypeMismatch("an object is not a number");
  }
  return 0;
}

int16_t Variant::ToInt16() const { return ToWhole<int16_t>(ToDouble(), "a 16-bit integer"); }

bool Variant::ToBool() const {
  if (type() == Type::kText) {
    Text upper = ToUpper(TrimBlanks(std::get<Text>(value_)));
    if (upper == u"TRUE") return true;
    if (upper == u"FALSE") return false;
  }
  return ToDouble() != 0;
}

std::shared_ptr<Dispatch> Variant::ToObject() const {
  if (type() == Type::kObject) return std::get<std::shared_ptr<Dispatch>>(value_);
  TypeMismatch("the value is not an object");
}

bool Variant::operator==(const Variant& other) const { return value_ == other.value_; }

}  // namespace comvorlix
