// Compile errors, and the conversion of directive values into numbers.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

#include "messages.h"

// A compile error: carries the message bytes and nothing else.
class EQuavertError : public std::exception {
 public:
  explicit EQuavertError(std::string message) : Message(std::move(message)) {}
  const char* what() const noexcept override { return Message.c_str(); }
  std::string Message;
};

// Raised only by the value conversions below.
class EQuavertValueConvertError : public EQuavertError {
 public:
  using EQuavertError::EQuavertError;
};

inline constexpr const char* err_quavert_invalid_integer = msg::InvalidInteger;
inline constexpr const char* err_quavert_invalid_float = msg::InvalidFloat;
inline constexpr const char* err_quavert_integer_outofrange = msg::IntegerOutOfRange;
inline constexpr const char* err_quavert_float_outofrange = msg::FloatOutOfRange;

// Integer syntax: optional blanks and sign, a base prefix ($ x X 0x 0X hex,
// % binary, & octal) and digits. False when the text is no 32-bit integer.
bool TryParseInteger(const std::string& text, int32_t& value);

// Real syntax: decimal with optional fraction and exponent, or Inf/Nan.
bool TryParseFloat(const std::string& text, double& value);

int32_t ConvertToInteger(const std::string& text, bool checkRange, int32_t min, int32_t max);
float ConvertToFloat(const std::string& text, bool checkRange, float min, float max);

// The range error message for integers; also used by commands with a range.
std::string IntegerRangeMessage(int32_t min, int32_t max);
