#include "memory_guard.hpp"

#include <new>
#include <unistd.h>

namespace vexil {

namespace {

std::uint64_t physical_memory() {
    static const std::uint64_t total = [] {
        long pages = sysconf(_SC_PHYS_PAGES);
        long page_size = sysconf(_SC_PAGESIZE);
        if (pages <= 0 || page_size <= 0) return UINT64_MAX;
        return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(page_size);
    }();
    return total;
}

}  // namespace

void ensure_allocatable(std::uint64_t bytes) {
    if (bytes > physical_memory()) throw std::bad_alloc();
}

void ensure_allocatable(std::uint64_t count, std::uint64_t size) {
    if (size != 0 && count > UINT64_MAX / size) throw std::bad_alloc();
    ensure_allocatable(count * size);
}

}  // namespace vexil
