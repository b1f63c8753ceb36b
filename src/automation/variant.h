// The automation variant: the value type of every host-facing property.
//
// Holds one of: empty, Boolean (True = -1, False = 0, 16-bit), 16-bit or
// 32-bit integer, text, or an object reference (shared ownership of
// a Dispatch object). Conversions follow the automation rules the component
// relies on:
//   * empty gives 0, False or the empty text;
//   * a text converts to a number when it reads as one (blanks around it are
//     allowed); otherwise the conversion raises kTypeMismatch;
//   * converting to a whole number rounds half to even;
//   * a value outside the target range raises kOverflow.
// Conversions throw AutomationError with a description on failure.
//
// automation/ is the late binding that only dialog/ and component/ see;
// the layers below them use base/ alone.
#pragma once

#include <cstdint>
#include <memory>
#include <variant>

#include "base/automation_error.h"
#include "automation/text.h"

namespace comvorlix {

class Dispatch;

using VariantBool = int16_t;
constexpr VariantBool kVariantTrue = -1;
constexpr VariantBool kVariantFalse = 0;

class Variant {
 public:
  enum class Type { kEmpty, kBoolean, kInt16, kInt32, kText, kObject };

  Variant() = default;
  static Variant Boolean(bool b);
  static Variant Int16(int16_t v);
  static Variant Int32(int32_t v);
  static Variant FromText(Text t);
  static Variant Object(std::shared_ptr<Dispatch> object);

  Type type() const;
  bool is_empty() const { return type() == Type::kEmpty; }
  bool is_object() const { return type() == Type::kObject; }

  // Conversions; each throws AutomationError when the value does not fit.
  Text ToText() const;
  double ToDouble() const;
  int16_t ToInt16() const;
  bool ToBool() const;
  std::shared_ptr<Dispatch> ToObject() const;

  bool operator==(const Variant& other) const;

 private:
  struct Empty {
    bool operator==(const Empty&) const { return true; }
  };
  struct Bool {
    VariantBool value;
    bool operator==(const Bool&) const = default;
  };
  using Storage = std::variant<Empty, Bool, int16_t, int32_t, Text, std::shared_ptr<Dispatch>>;
  explicit Variant(Storage s) : value_(std::move(s)) {}
  Storage value_;
};

// Rounds to the nearest whole number, halves to the even one.
double RoundHalfEven(double v);

}  // namespace comvorlix
