#include "canon_tables.hpp"

#include "four_input.hpp"

namespace vexil::npn5 {

std::unique_ptr<CanonTables> CanonTables::build() {
    auto tables = std::make_unique<CanonTables>();
    fill_canon4_table(tables->canon4);
    fill_step_table(tables->canon4, tables->step);
    fill_walk_table(tables->step, tables->walk);
    tables->finishers.build(tables->canon4);
    return tables;
}

}  // namespace vexil::npn5
