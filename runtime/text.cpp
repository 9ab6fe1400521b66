// SPDX-License-Identifier: MIT
#include "runtime/text.h"

#include <cmath>
#include <cstdio>

// The program never leaves the default floating-point rounding mode, which is
// round-to-nearest with ties to even, so nearbyint gives exactly that rule.
int64_t RoundEven(double value) { return static_cast<int64_t>(std::nearbyint(value)); }

std::string DecimalText(int64_t value) { return std::to_string(value); }

std::string FixedText(double value, int decimals) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0 ? "+Infinity" : "-Infinity";
  if (decimals < 0) decimals = 0;
  char buffer[400];  // enough for any double in %f form
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  return buffer;
}
