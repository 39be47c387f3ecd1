// pack_guarded packs as pack_entries does, and asks the memory guard first:
// a table whose packed copy cannot be had is refused before a byte of it is
// read (the entries here lie in memory that faults when read).
#include "check.hpp"
#include "base/packed_table.hpp"
#include "memory_guard.hpp"

#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <random>
#include <span>
#include <vector>

using native_test::finish;

namespace {

void check_same_words(std::mt19937_64& random) {
    for (unsigned n = 0; n <= 14; ++n) {
        std::vector<std::uint8_t> entries(std::size_t{1} << n);
        for (auto& e : entries) e = static_cast<std::uint8_t>(random() & 1);
        CHECK(vexil::pack_guarded(entries) == vexil::pack_entries(entries), "n = %u", n);
    }
}

// The process's virtual size in bytes, from /proc/self/statm.
std::uint64_t virtual_size() {
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    unsigned long long pages = 0;
    if (statm != nullptr) {
        if (std::fscanf(statm, "%llu", &pages) != 1) pages = 0;
        std::fclose(statm);
    }
    return pages * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
}

// 2^36 entries that fault when read (8 GiB to pack) under an address-space
// limit a little above what the process holds.
void check_refused_before_reading() {
    constexpr std::size_t size = std::size_t{1} << 36;
    void* reserved = mmap(nullptr, size, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (reserved == MAP_FAILED) {
        std::fprintf(stderr, "base_pack_guarded: no room to reserve 64 GiB; the refusal is not checked\n");
        return;
    }
    rlimit limit{};
    CHECK(getrlimit(RLIMIT_AS, &limit) == 0);
    limit.rlim_cur = virtual_size() + (std::uint64_t{256} << 20);
    CHECK(setrlimit(RLIMIT_AS, &limit) == 0);
    const std::span<const std::uint8_t> entries(static_cast<const std::uint8_t*>(reserved), size);
    bool refused = false;
    try {
        static_cast<void>(vexil::pack_guarded(entries));
    } catch (const vexil::WorkingSetTooLarge&) {
        refused = true;
    }
    CHECK(refused, "8 GiB of packed table under a 256 MiB margin");
}

}  // namespace

int main() {
    std::mt19937_64 random(11);
    check_same_words(random);
    check_refused_before_reading();
    return finish("base_pack_guarded");
}
