// Refuse working memory that the machine cannot hold before asking for it.
//
// Under overcommit a huge allocation may "succeed" and the process is killed
// later when the pages are touched; sizes chosen from Python must raise
// MemoryError instead, so every table-sized allocation is checked here first.
#pragma once

#include <cstdint>

namespace vexil {

// Throws std::bad_alloc when `bytes` (or `count * size`, overflow included)
// exceeds the physical memory of the machine.
void ensure_allocatable(std::uint64_t bytes);
void ensure_allocatable(std::uint64_t count, std::uint64_t size);

}  // namespace vexil
