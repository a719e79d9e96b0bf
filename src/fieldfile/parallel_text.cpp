#include "fieldfile/parallel_text.h"

#include <algorithm>

#include "textio/format.h"

namespace korvane {

ParallelTextRecords::ParallelTextRecords(ByteSink& sink, TaskPool& pool)
    : sink_(sink),
      pool_(pool),
      // A few parts a thread, so a thread slowed by others' work holds up little.
      batch_items_(part_items * 4 * static_cast<std::size_t>(pool.threads())),
      place_(ListWriter::record_start()) {
  items_.reserve(batch_items_);
  part_places_.reserve(batch_items_ / part_items);
}

void ParallelTextRecords::push(const Item& item) {
  if (items_.size() % part_items == 0) {
    if (items_.size() == batch_items_) flush();
    part_places_.push_back(place_);
  }
  items_.push_back(item);
}

void ParallelTextRecords::begin_record() {
  push({0.0, 0, Kind::begin});
  place_ = ListWriter::record_start();
}

void ParallelTextRecords::integer(std::int32_t value) {
  push({0.0, value, Kind::integer});
  ListWriter::advance(place_, integer_width);
}

void ParallelTextRecords::real(double value) {
  push({value, 0, Kind::real});
  ListWriter::advance(place_, real_width);
}

void ParallelTextRecords::write_rendered() {
  const std::vector<StringSink>& texts = part_texts_[1 - rendering_];
  for (std::size_t part = 0; part < rendered_parts_; ++part) sink_.write(texts[part].text);
  rendered_parts_ = 0;
}

void ParallelTextRecords::flush() {
  const std::size_t parts = part_places_.size();
  std::vector<StringSink>& texts = part_texts_[rendering_];
  if (texts.size() < parts) texts.resize(parts);
  // Task 0, taken first, writes the batch before (one task, so in order); the others
  // render this one.
  pool_.run(static_cast<int>(parts) + 1, [&](int task) {
    if (task == 0) {
      write_rendered();
      return;
    }
    const std::size_t part = static_cast<std::size_t>(task - 1);
    // Rendered into a sink of the task's own, not into the neighbouring parts' cache
    // lines; the text's storage is kept for a later batch.
    StringSink text;
    text.text.swap(texts[part].text);
    text.text.clear();
    ListWriter out(text);
    out.carry_on(part_places_[part]);
    const std::size_t first = part * part_items;
    const std::size_t last = std::min(first + part_items, items_.size());
    for (std::size_t n = first; n < last; ++n) {
      const Item& item = items_[n];
      switch (item.kind) {
        case Kind::begin: out.begin_record(); break;
        case Kind::end: out.end_record(); break;
        case Kind::integer: out.integer(item.integer); break;
        case Kind::real: out.real(item.real); break;
      }
    }
    texts[part].text.swap(text.text);
  });
  rendered_parts_ = parts;
  rendering_ = 1 - rendering_;
  items_.clear();
  part_places_.clear();
}

void ParallelTextRecords::finish() {
  flush();
  write_rendered();
}

}  // namespace korvane
