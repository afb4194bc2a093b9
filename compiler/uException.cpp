#include "uException.h"

#include <locale.h>

#include <cmath>
#include <cstdlib>

#include "message_log.h"
#include "text.h"

using quavert::Format;

namespace {

constexpr size_t kLongestValue = 255;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 99;
}

}  // namespace

bool TryParseInteger(const std::string& text, int32_t& value) {
  if (text.empty() || text.size() > kLongestValue) return false;
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int base = 10;
  if (i < text.size()) {
    const char c = text[i];
    if (c == '$' || c == 'x' || c == 'X') {
      base = 16;
      ++i;
    } else if (c == '0' && i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
      base = 16;
      i += 2;
    } else if (c == '%') {
      base = 2;
      ++i;
    } else if (c == '&') {
      base = 8;
      ++i;
    }
  }
  if (i == text.size()) return false;
  const uint64_t limit = base == 10 ? (negative ? 2147483648u : 2147483647u) : 0xFFFFFFFFu;
  uint64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    const int d = DigitValue(text[i]);
    if (d >= base) return false;
    magnitude = magnitude * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
    if (magnitude > limit) return false;
  }
  uint32_t bits = static_cast<uint32_t>(magnitude);
  if (negative) bits = 0u - bits;
  value = static_cast<int32_t>(bits);
  return true;
}

bool TryParseFloat(const std::string& text, double& value) {
  if (text.empty() || text.size() > kLongestValue) return false;
  if (text.find(',') != std::string::npos) return false;
  size_t begin = 0, end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  const std::string body = text.substr(begin, end - begin);
  size_t i = 0;
  bool negative = false;
  if (i < body.size() && (body[i] == '+' || body[i] == '-')) negative = body[i++] == '-';
  if (SameNoCase(std::string_view(body).substr(i), "inf")) {
    value = negative ? -HUGE_VAL : HUGE_VAL;
    return true;
  }
  if (SameNoCase(std::string_view(body).substr(i), "nan")) {
    value = std::nan("");
    return true;
  }
  size_t digits = 0;
  while (i < body.size() && body[i] >= '0' && body[i] <= '9') ++i, ++digits;
  if (i < body.size() && body[i] == '.') {
    ++i;
    while (i < body.size() && body[i] >= '0' && body[i] <= '9') ++i, ++digits;
  }
  if (digits == 0) return false;  // "", ".", "+." are no numbers
  if (i < body.size() && (body[i] == 'e' || body[i] == 'E')) {
    ++i;
    if (i < body.size() && (body[i] == '+' || body[i] == '-')) ++i;
    size_t expDigits = 0;
    while (i < body.size() && body[i] >= '0' && body[i] <= '9') ++i, ++expDigits;
    if (expDigits == 0) return false;
  }
  if (i != body.size()) return false;
  // The point is the separator whatever locale the host process has set.
  static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  value = strtod_l(body.c_str(), nullptr, cLocale);
  return true;
}

std::string IntegerRangeMessage(int32_t min, int32_t max) {
  return Format(err_quavert_integer_outofrange, min, max);
}

int32_t ConvertToInteger(const std::string& text, bool checkRange, int32_t min, int32_t max) {
  int32_t value = 0;
  if (!TryParseInteger(text, value))
    throw EQuavertValueConvertError(Format(err_quavert_invalid_integer, text.c_str()));
  if (checkRange && (value < min || value > max))
    throw EQuavertValueConvertError(IntegerRangeMessage(min, max));
  return value;
}

float ConvertToFloat(const std::string& text, bool checkRange, float min, float max) {
  double parsed = 0;
  if (!TryParseFloat(text, parsed))
    throw EQuavertValueConvertError(Format(err_quavert_invalid_float, text.c_str()));
  const float value = static_cast<float>(parsed);
  // Written as a negated "inside" test so that a not-a-number fails it too.
  if (checkRange && !(value >= min && value <= max))
    throw EQuavertValueConvertError(Format(err_quavert_float_outofrange,
                                           std::round(static_cast<double>(min)),
                                           std::round(static_cast<double>(max))));
  return value;
}
