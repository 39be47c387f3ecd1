#include "memory_guard.hpp"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <iterator>
#include <fstream>
#include <new>
#include <sstream>
#include <string>
#include <vector>

namespace vexil {

namespace {

// Below this a call is not worth reading a dozen files for: the allocator's
// own failure (std::bad_alloc) covers it.
constexpr std::uint64_t small_working_set = std::uint64_t{32} << 20;

// cgroup v1 writes "no limit" as a huge page-rounded number.
constexpr std::uint64_t no_cgroup_limit = std::uint64_t{1} << 62;

std::uint64_t physical_memory() {
    static const std::uint64_t total = [] {
        long pages = sysconf(_SC_PHYS_PAGES);
        long page_size = sysconf(_SC_PAGESIZE);
        if (pages <= 0 || page_size <= 0) return UINT64_MAX;
        return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(page_size);
    }();
    return total;
}

std::optional<std::string> read_text(const std::string& path) {
    std::ifstream in(path);
    if (!in) return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    return std::move(text).str();
}

std::optional<std::uint64_t> parse_number(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end == text.data()) return std::nullopt;
    return value;
}

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    for (;;) {
        const std::size_t at = text.find(separator);
        parts.push_back(text.substr(0, at));
        if (at == std::string_view::npos) return parts;
        text.remove_prefix(at + 1);
    }
}

std::vector<std::string_view> lines(std::string_view text) {
    std::vector<std::string_view> all = split(text, '\n');
    if (!all.empty() && all.back().empty()) all.pop_back();
    return all;
}

// Headroom left by the limits of one cgroup directory; nullopt when it sets none.
std::optional<std::uint64_t> cgroup_headroom(const std::string& dir, bool v2) {
    const auto limit_text = read_text(dir + (v2 ? "/memory.max" : "/memory.limit_in_bytes"));
    if (!limit_text) return std::nullopt;
    const std::optional<std::uint64_t> limit = detail::cgroup_bytes(*limit_text);
    if (!limit || *limit >= no_cgroup_limit) return std::nullopt;
    const auto usage_text = read_text(dir + (v2 ? "/memory.current" : "/memory.usage_in_bytes"));
    std::uint64_t used = usage_text ? detail::cgroup_bytes(*usage_text).value_or(0) : 0;
    // Page cache counts as usage but is given back under pressure.
    if (const auto stat = read_text(dir + "/memory.stat")) {
        const std::uint64_t inactive =
            detail::stat_value(*stat, v2 ? "inactive_file" : "total_inactive_file").value_or(0);
        used -= std::min(used, inactive);
    }
    return *limit - std::min(*limit, used);
}

struct CgroupMount {
    std::string root;   // the cgroup path mounted there
    std::string point;  // where it is mounted
    bool v2 = false;
};

std::vector<CgroupMount> memory_cgroup_mounts() {
    std::vector<CgroupMount> mounts;
    const auto info = read_text("/proc/self/mountinfo");
    if (!info) return mounts;
    for (const std::string_view line : lines(*info)) {
        // id parent dev root point options [tags] - fstype source superoptions
        const std::size_t dash = line.find(" - ");
        if (dash == std::string_view::npos) continue;
        const std::vector<std::string_view> head = split(line.substr(0, dash), ' ');
        const std::vector<std::string_view> tail = split(line.substr(dash + 3), ' ');
        if (head.size() < 5 || tail.size() < 3) continue;
        const bool v2 = tail[0] == "cgroup2";
        if (!v2 && !(tail[0] == "cgroup" && [&] {
                for (const std::string_view option : split(tail[2], ',')) {
                    if (option == "memory") return true;
                }
                return false;
            }())) {
            continue;
        }
        mounts.push_back({std::string(head[3]), std::string(head[4]), v2});
    }
    return mounts;
}

// The tightest headroom over this process's memory cgroup and its ancestors.
std::optional<std::uint64_t> cgroup_memory_left() {
    const auto membership = read_text("/proc/self/cgroup");
    if (!membership) return std::nullopt;
    std::optional<std::uint64_t> left;
    for (const CgroupMount& mount : memory_cgroup_mounts()) {
        for (const std::string_view line : lines(*membership)) {
            // hierarchy-id:controllers:path
            const std::vector<std::string_view> fields = split(line, ':');
            if (fields.size() < 3) continue;
            bool ours = false;
            if (mount.v2) {
                ours = fields[0] == "0" && fields[1].empty();
            } else {
                for (const std::string_view controller : split(fields[1], ',')) ours = ours || controller == "memory";
            }
            if (!ours) continue;
            std::string path(line.substr(fields[0].size() + fields[1].size() + 2));
            if (mount.root != "/" && path.starts_with(mount.root)) path.erase(0, mount.root.size());
            std::string dir = mount.point + (path == "/" ? "" : path);
            for (;;) {
                if (const auto here = cgroup_headroom(dir, mount.v2)) left = std::min(left.value_or(UINT64_MAX), *here);
                if (dir.size() <= mount.point.size()) break;
                dir.erase(dir.rfind('/'));
            }
        }
    }
    return left;
}

// Headroom under a resource limit, given the amount it counts now.
std::optional<std::uint64_t> rlimit_left(int resource, std::uint64_t used) {
    rlimit limit{};
    if (getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return std::nullopt;
    const auto cap = static_cast<std::uint64_t>(limit.rlim_cur);
    return cap - std::min(cap, used);
}

}  // namespace

namespace detail {

std::optional<std::uint64_t> meminfo_available(std::string_view meminfo) {
    std::optional<std::uint64_t> available;
    std::uint64_t swap_free = 0;
    for (const std::string_view line : lines(meminfo)) {
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) continue;
        const std::string_view key = line.substr(0, colon);
        if (key != "MemAvailable" && key != "SwapFree") continue;
        const std::optional<std::uint64_t> kib = parse_number(line.substr(colon + 1));
        if (!kib) continue;
        if (key == "MemAvailable") {
            available = bytes_times(*kib, 1024);
        } else {
            swap_free = bytes_times(*kib, 1024);
        }
    }
    if (!available) return std::nullopt;
    return bytes_plus(*available, swap_free);
}

std::optional<std::uint64_t> cgroup_bytes(std::string_view text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.remove_suffix(1);
    if (text == "max") return std::nullopt;
    return parse_number(text);
}

std::optional<std::uint64_t> stat_value(std::string_view stat, std::string_view key) {
    for (const std::string_view line : lines(stat)) {
        if (line.size() > key.size() && line.starts_with(key) && line[key.size()] == ' ') {
            return parse_number(line.substr(key.size() + 1));
        }
    }
    return std::nullopt;
}

}  // namespace detail

std::uint64_t bytes_times(std::uint64_t count, std::uint64_t size) {
    if (size != 0 && count > UINT64_MAX / size) return UINT64_MAX;
    return count * size;
}

std::uint64_t bytes_plus(std::uint64_t a, std::uint64_t b) { return a > UINT64_MAX - b ? UINT64_MAX : a + b; }

namespace {

// Pages of the process: total size and data, from /proc/self/statm.
struct ProcessPages {
    std::uint64_t size = 0;
    std::uint64_t data = 0;
};

std::optional<ProcessPages> process_bytes() {
    // statm: size resident shared text lib data dirty, in pages.
    const auto statm = read_text("/proc/self/statm");
    if (!statm) return std::nullopt;
    const std::vector<std::string_view> pages = split(*statm, ' ');
    if (pages.size() < 6) return std::nullopt;
    const auto page = static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
    return ProcessPages{bytes_times(parse_number(pages[0]).value_or(0), page),
                        bytes_times(parse_number(pages[5]).value_or(0), page)};
}

}  // namespace

std::optional<std::uint64_t> address_space_left() {
    const std::optional<ProcessPages> held = process_bytes();
    return rlimit_left(RLIMIT_AS, held ? held->size : 0);
}

std::uint64_t obtainable_memory() {
    std::uint64_t left = physical_memory();
    if (const auto meminfo = read_text("/proc/meminfo")) {
        if (const auto available = detail::meminfo_available(*meminfo)) left = std::min(left, *available);
    }
    if (const auto cgroup = cgroup_memory_left()) left = std::min(left, *cgroup);
    if (const std::optional<ProcessPages> held = process_bytes()) {
        if (const auto as = rlimit_left(RLIMIT_AS, held->size)) left = std::min(left, *as);
        if (const auto ds = rlimit_left(RLIMIT_DATA, held->data)) left = std::min(left, *ds);
    }
    return left;
}

void ensure_allocatable(std::uint64_t bytes) {
    if (bytes > physical_memory()) throw std::bad_alloc();
}

void ensure_allocatable(std::uint64_t count, std::uint64_t size) {
    if (size != 0 && count > UINT64_MAX / size) throw std::bad_alloc();
    ensure_allocatable(count * size);
}

namespace {

std::string byte_text(std::uint64_t bytes) {
    static constexpr const char* units[] = {"bytes", "KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
    double value = static_cast<double>(bytes);
    std::size_t unit = 0;
    while (value >= 1024.0 && unit + 1 < std::size(units)) {
        value /= 1024.0;
        ++unit;
    }
    char text[48];
    std::snprintf(text, sizeof text, unit == 0 ? "%.0f %s" : "%.1f %s", value, units[unit]);
    return text;
}

}  // namespace

WorkingSetTooLarge::WorkingSetTooLarge(std::uint64_t needed, std::uint64_t available)
    : needed_(needed),
      available_(available),
      message_("the computation needs " + byte_text(needed) + " of working memory; " + byte_text(available) +
               " can be had") {}

void ensure_working_set(std::uint64_t bytes) {
    if (bytes < small_working_set) return;
    const std::uint64_t available = std::min(physical_memory(), obtainable_memory());
    if (bytes > available) throw WorkingSetTooLarge(bytes, available);
}

}  // namespace vexil
