#pragma once
#include <cstddef>
#include <cstdint>
#include <span>

#include "record/shared_status.h"

// Arbitrary worker writes, one field, flag or row at a time, each through the record's
// own word stores: what a faulty or racing worker can do to the record. Shared by the
// fuzz target and the stress test so both reach every field the same way.
namespace vandrel::writes {

enum class FieldKind : uint8_t { i32, f32, f64, text };

struct Field {
    size_t offset;
    FieldKind kind;
    // Elements of an array field, 4 bytes apart; 1 for a single value.
    uint32_t count = 1;
    // Bytes of a text field, a multiple of 4.
    size_t textLength = 0;
};

// Every field the worker writes, and the saver's own two words.
std::span<const Field> fields();
// Every part's flag, the plot axes' included; row flags are reached by row index.
std::span<const size_t> partFlags();

// Values worth trying: zero, limits, off-by-one around the saver's clamps, and for reals
// NaN, infinities and denormals. Indices beyond the table wrap.
uint32_t interestingI32(uint32_t index);
float interestingF32(uint32_t index);
double interestingF64(uint32_t index);

// Stores raw bits into element `element` (taken modulo the count) of a number field;
// text fields go through writeText.
void writeBits(SharedStatus s, const Field& f, uint32_t element, uint64_t bits);
// Writes `length` bytes of a text field (cut to the field) from `bytes`, then a NUL if
// `terminated` and there is room; the rest of the field keeps what it held.
void writeText(SharedStatus s, const Field& f, const unsigned char* bytes, size_t length,
               bool terminated);
// Writes the 600 heights of row `row` (modulo the rows that fit the record).
void writeRow(SharedStatus s, int32_t row, const uint8_t* heights);
size_t rowFlag(int32_t row);

}  // namespace vandrel::writes
