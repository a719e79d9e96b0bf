// Text records of a field file rendered on every thread of a pool, byte for byte as one
// ListWriter writes them.
//
// A codec for the record walks of field_records.h. Its items are gathered in batches; a
// batch is cut into parts, the parts are rendered at once, each by a ListWriter that
// carries on from the place in the record where the part starts, and are written to the
// sink in order. The place of each part is known before any text exists, since it depends
// only on the widths of the items before it. A batch's text is written by one task while
// the others render the next batch.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "fieldfile/field_records.h"
#include "store/field_store.h"
#include "textio/byte_sink.h"
#include "textio/list_writer.h"
#include "util/task_pool.h"

namespace korvane {

class ParallelTextRecords {
 public:
  ParallelTextRecords(ByteSink& sink, TaskPool& pool);

  void begin(std::size_t, std::size_t) { begin_record(); }
  void begin_axis(std::int32_t, int) { begin_record(); }
  void end() { push({0.0, 0, Kind::end}); }
  void count(std::int32_t value, int) { integer(value); }
  void integer(std::int32_t value);
  void real(double value);
  int component_arrays(const FieldStore& s, const OutputField* arrays[6]) const {
    return arrays_for_ifield(s.ifield, s, arrays);
  }

  // Renders and writes what is still gathered; the sink's failures throw from here (or
  // from the call that gathered a batch full).
  void finish();

 private:
  enum class Kind : std::uint8_t { begin, end, integer, real };
  struct Item {
    double real;
    std::int32_t integer;
    Kind kind;
  };
  static constexpr std::size_t part_items = 8192;

  void begin_record();
  void push(const Item& item);
  void flush();
  void write_rendered();

  ByteSink& sink_;
  TaskPool& pool_;
  std::size_t batch_items_;
  std::vector<Item> items_;
  std::vector<ListWriter::Place> part_places_;  // where each part of the batch starts
  // The texts of the batch being rendered and of the one rendered before, still to write.
  std::vector<StringSink> part_texts_[2];
  int rendering_ = 0;
  std::size_t rendered_parts_ = 0;  // parts of part_texts_[1 - rendering_] to write
  ListWriter::Place place_;                      // after the last item gathered
};

}  // namespace korvane
