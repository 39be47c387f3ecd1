// Refuse working memory that the process cannot get before asking for it.
//
// Under overcommit a huge allocation may "succeed" and the process is killed
// later when the pages are touched; sizes chosen from Python must raise
// MemoryError instead. Two checks, both throwing std::bad_alloc:
// - ensure_allocatable: one buffer against the physical memory of the machine;
// - ensure_working_set: everything a call is about to allocate, together,
//   against what the process can still obtain now (available memory, the
//   headroom of its memory cgroup, its address-space and data limits).
#pragma once

#include "exported.hpp"

#include <cstdint>
#include <new>
#include <optional>
#include <string>
#include <string_view>

namespace vexil {

// A call refused by ensure_working_set; says how much it needed and how much
// the process could get.
class VEXIL_EXPORTED WorkingSetTooLarge : public std::bad_alloc {
public:
    WorkingSetTooLarge(std::uint64_t needed, std::uint64_t available);
    const char* what() const noexcept override { return message_.c_str(); }
    std::uint64_t needed() const { return needed_; }
    std::uint64_t available() const { return available_; }

private:
    std::uint64_t needed_;
    std::uint64_t available_;
    std::string message_;
};

void ensure_allocatable(std::uint64_t bytes);
void ensure_allocatable(std::uint64_t count, std::uint64_t size);

// `bytes` is the peak of the memory the call adds to what the process holds;
// small working sets pass without a look at the system. Throws
// WorkingSetTooLarge.
void ensure_working_set(std::uint64_t bytes);

// a * b + c * d ... without wrapping: saturates at UINT64_MAX.
std::uint64_t bytes_times(std::uint64_t count, std::uint64_t size);
std::uint64_t bytes_plus(std::uint64_t a, std::uint64_t b);

// Bytes the process can still obtain, by the tightest of the limits above.
std::uint64_t obtainable_memory();

// Address space left under the process's limit on it; nullopt when unlimited.
std::optional<std::uint64_t> address_space_left();

namespace detail {
// Readers of the kernel's text files, apart for tests.
// "MemAvailable" + "SwapFree" of /proc/meminfo, in bytes.
std::optional<std::uint64_t> meminfo_available(std::string_view meminfo);
// A number of bytes, or nullopt for "max" (no limit) and for text that is no number.
std::optional<std::uint64_t> cgroup_bytes(std::string_view text);
// The value of `key` in a memory.stat file ("inactive_file 123").
std::optional<std::uint64_t> stat_value(std::string_view stat, std::string_view key);
}  // namespace detail

}  // namespace vexil
