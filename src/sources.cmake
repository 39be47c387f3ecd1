# The sources of vexil_core, listed by layer so that a new file joins the
# target on purpose. Each layer includes only the ones above it in this list:
#   src/            the runtime: tables, errors, interrupts, memory guard, pool, progress
#   src/base/       packed tables, instruction-set variants, subset combinatorics
#   src/metrics/    the measures
#   npn5/ (core)    the five-input database and its queries (VEXIL_NPN5_CORE_SOURCES)
#   src/registry/   every measure by name, over metrics/, npn5/ and vectorial/
#   src/sweep/      measures of many functions at once, over the registry
set(VEXIL_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/encoding.cpp
  ${CMAKE_CURRENT_LIST_DIR}/families.cpp
  ${CMAKE_CURRENT_LIST_DIR}/fvalue.cpp
  ${CMAKE_CURRENT_LIST_DIR}/interrupt.cpp
  ${CMAKE_CURRENT_LIST_DIR}/memory_guard.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pool.cpp
  ${CMAKE_CURRENT_LIST_DIR}/progress.cpp
  ${CMAKE_CURRENT_LIST_DIR}/base/combinatorics.cpp
  ${CMAKE_CURRENT_LIST_DIR}/base/kernel_variants.cpp
  ${CMAKE_CURRENT_LIST_DIR}/base/packed_table.cpp
  ${CMAKE_CURRENT_LIST_DIR}/metrics/algebraic_elimination.cpp
  ${CMAKE_CURRENT_LIST_DIR}/metrics/algebraic_immunity.cpp
  ${CMAKE_CURRENT_LIST_DIR}/metrics/anf.cpp
  ${CMAKE_CURRENT_LIST_DIR}/metrics/autocorrelation.cpp
  ${CMAKE_CURRENT_LIST_DIR}/metrics/block_sensitivity.cpp
  ${CMAKE_CURRENT_LIST_DIR}/metrics/certificate.cpp
  ${CMAKE_CURRENT_LIST_DIR}/metrics/certificates.cpp
  ${CMAKE_CURRENT_LIST_DIR}/metrics/crypto_transform.cpp
  ${CMAKE_CURRENT_LIST_DIR}/metrics/cut_ranges.cpp
  ${CMAKE_CURRENT_LIST_DIR}/metrics/cut_walk.cpp
  ${CMAKE_CURRENT_LIST_DIR}/metrics/decision_tree.cpp
  ${CMAKE_CURRENT_LIST_DIR}/metrics/entanglement.cpp
  ${CMAKE_CURRENT_LIST_DIR}/metrics/fragmentation.cpp
  ${CMAKE_CURRENT_LIST_DIR}/metrics/frontier.cpp
  ${CMAKE_CURRENT_LIST_DIR}/metrics/restrictions.cpp
  ${CMAKE_CURRENT_LIST_DIR}/metrics/sensitivity.cpp
  ${CMAKE_CURRENT_LIST_DIR}/metrics/spectral.cpp
  ${CMAKE_CURRENT_LIST_DIR}/metrics/transform_i32.cpp
  ${CMAKE_CURRENT_LIST_DIR}/metrics/transform_i64.cpp
  ${CMAKE_CURRENT_LIST_DIR}/metrics/walsh_measures.cpp
  ${CMAKE_CURRENT_LIST_DIR}/metrics/predicates.cpp
  ${CMAKE_CURRENT_LIST_DIR}/metrics/two_level.cpp
  ${CMAKE_CURRENT_LIST_DIR}/metrics/decision_trees.cpp
  ${CMAKE_CURRENT_LIST_DIR}/metrics/npn_canonical.cpp
  ${VEXIL_NPN5_CORE_SOURCES}
  ${CMAKE_CURRENT_LIST_DIR}/registry/measure_input.cpp
  ${CMAKE_CURRENT_LIST_DIR}/registry/registry.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sweep/sweep.cpp)

# Vectorial functions (S-boxes): src/vectorial/ sits above src/metrics/, below
# the registry, which names their measures beside those of single functions.
list(APPEND VEXIL_CORE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/vectorial/affine_class.cpp
  ${CMAKE_CURRENT_LIST_DIR}/vectorial/boolean_classes5.cpp
  ${CMAKE_CURRENT_LIST_DIR}/vectorial/sbox.cpp
  ${CMAKE_CURRENT_LIST_DIR}/vectorial/sbox_extra_tables.cpp
  ${CMAKE_CURRENT_LIST_DIR}/vectorial/equivalence.cpp
  ${CMAKE_CURRENT_LIST_DIR}/vectorial/equivalence_points.cpp
  ${CMAKE_CURRENT_LIST_DIR}/vectorial/graph_ranks.cpp)
