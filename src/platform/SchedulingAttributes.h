#pragma once

#include <cstdint>

namespace platform {

// The kernel's struct sched_attr, which the C library does not declare and
// whose kernel header clashes with the C library's; the kernel keeps this
// layout, and takes or fills it with sched_setattr and sched_getattr.
struct SchedulingAttributes {
    std::uint32_t size = sizeof(SchedulingAttributes);
    std::uint32_t policy = 0;
    std::uint64_t flags = 0;
    std::int32_t nice = 0;
    std::uint32_t priority = 0;
    std::uint64_t slice = 0; // sched_runtime: the slice asked for, for the normal policies
    std::uint64_t deadline = 0;
    std::uint64_t period = 0;
    std::uint32_t utilizationMin = 0;
    std::uint32_t utilizationMax = 0;
};

} // namespace platform
