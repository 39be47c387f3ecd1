#include "database.hpp"

#include "image.hpp"

#include <array>

namespace vexil::npn5 {

std::unique_ptr<GateDatabase> GateDatabase::build(const std::uint8_t* image, std::size_t length) {
    std::unique_ptr<GateDatabase> db(new GateDatabase());
    const std::size_t records = length / record_bytes;
    db->map_ = GateMap(records + 2);
    db->map_.find_or_insert(0) = builtin_zero_record;
    db->map_.find_or_insert(input_x1) = builtin_x1_record;
    // Records are decoded a window ahead of their insertion, with their slots
    // prefetched, so that the random accesses to the map overlap.
    constexpr std::size_t window = 16;
    std::array<DecodedRecord, window> pending;
    for (std::size_t r = 0; r < records + window; ++r) {
        DecodedRecord& slot = pending[r % window];
        if (r >= window) db->map_.find_or_insert(slot.key) = slot.circuit;
        if (r < records) {
            slot = decode_record(image + r * record_bytes);
            db->map_.prefetch(slot.key);
        }
    }
    db->tables_ = CanonTables::build();
    db->rewrite_ = build_rewrite_table();
    return db;
}

CircuitRecord& GateDatabase::lookup(Word key) {
    if (CircuitRecord* found = map_.find(key)) return *found;
    std::lock_guard<std::mutex> hold(added_lock_);
    return added_[key];
}

std::size_t GateDatabase::size() const {
    std::lock_guard<std::mutex> hold(added_lock_);
    return map_.size() + added_.size();
}

GateDatabase& gate_database() {
    static std::once_flag once;
    static GateDatabase* instance = nullptr;
    std::call_once(once, [] {
        const std::span<const std::uint8_t> image = embedded_image();
        instance = GateDatabase::build(image.data(), image.size()).release();
    });
    return *instance;
}

}  // namespace vexil::npn5
