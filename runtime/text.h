// SPDX-License-Identifier: MIT
// Number formatting and the one rounding rule used throughout the program.
#pragma once
#include <cstdint>
#include <string>

// Nearest integer, halves to the even neighbour. Every real-to-integer
// conversion in the program goes through here.
int64_t RoundEven(double value);

// Signed base-10 text without separators or leading zeros.
std::string DecimalText(int64_t value);

// Fixed-point text with exactly `decimals` digits after the point;
// "+Infinity", "-Infinity" and "NaN" for the non-finite values.
std::string FixedText(double value, int decimals);
