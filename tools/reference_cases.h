#pragma once
#include <cstdint>
#include <span>

#include "record/shared_status.h"

// The records whose dashboards are kept as reference images (tests/reference/<platform>).
// Each is built with the record generator or by setting fields, so the table is the whole
// description of what the references show.
namespace vandrel {

struct ReferenceCase {
    const char* name;
    // Writes the record after the dashboard was built (it sized the plot area).
    void (*fill)(SharedStatus status);
    // Update cycles run: 1 is a single tick, more run until a cycle draws nothing.
    int32_t cycles;
};

std::span<const ReferenceCase> referenceCases();

}  // namespace vandrel
