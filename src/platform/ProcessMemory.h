#pragma once

#include <cstddef>

// How the agent takes memory for its few large, short-lived buffers (a downloaded answer and what is read
// from it) and gives it back. Fresh pages are not free: each costs a fault, and on some virtual machines
// faulting in twenty megabytes takes longer than downloading them.
class ProcessMemory final {
public:
    ProcessMemory() = delete;

    // Once, before the first large buffer is taken.
    static void configure();

    // A hint for a large buffer about to be written end to end: back it with large pages where the system
    // offers them, so that it faults in a few times instead of thousands. Harmless anywhere else.
    static void preferLargePages(char* data, std::size_t size);

    // Hands what is freed back to the system, so that an idle agent does not hold it.
    static void returnFreed();
};
