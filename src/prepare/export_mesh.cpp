// The mesh walk and the repeated-node rule of the first pass over an export.
#include "prepare/export_mesh.h"

#include <algorithm>
#include <cmath>

#include "textio/errors.h"

namespace korvane::prepare {
namespace {

std::string percent(double fraction) { return figure(fraction * 100.0) + " %"; }

}  // namespace

const int* MeshWalk::place(const double c[3], long line) {
  if (records_ == 0) {
    for (int a = 0; a < 3; ++a) {
      first_[a] = c[a];
      nodes_[a].push_back({c[a], c[a], c[a]});
    }
    ++records_;
    return index_;
  }
  if (known_ == 3 || !discover(c, line)) advance();
  for (int role = 0; role < known_; ++role) {
    const int a = order_[role];
    auto& nodes = nodes_[a];
    const auto i = static_cast<std::size_t>(index_[a]);
    if (i == nodes.size()) {
      nodes.push_back({c[a], c[a], c[a]});
    } else {
      nodes[i].low = std::min(nodes[i].low, c[a]);
      nodes[i].high = std::max(nodes[i].high, c[a]);
    }
  }
  ++records_;
  return index_;
}

void MeshWalk::finish(ExportScan& scan) const {
  if (known_ < 2) {
    refuse(0, known_ == 0 ? "every record gives the same node: not a 3D mesh"
                          : "a line of " + std::to_string(records_) + " nodes along " +
                                axis_names[order_[0]] + ", not a 3D mesh");
  }
  if (known_ < 3) {
    const int flat = 3 - order_[0] - order_[1];
    refuse(0, "a plane of " + std::to_string(run_[0]) + " x " + std::to_string(records_ / run_[0]) +
                  " nodes in " + axis_names[order_[0]] + " and " + axis_names[order_[1]] +
                  ", with " + axis_names[flat] + " = " + figure(first_[flat]) +
                  " in every record: not a 3D mesh");
  }
  const long plane = run_[1];
  if (records_ % plane != 0) {
    refuse(0, std::to_string(records_) + " records are not whole planes of " +
                  std::to_string(run_[0]) + " x " + std::to_string(plane / run_[0]) +
                  " nodes: the mesh is incomplete (" + std::to_string(records_ / plane) +
                  " planes and " + std::to_string(records_ % plane) + " records)");
  }
  for (int role = 0; role < 3; ++role) scan.order[role] = order_[role];
  for (int a = 0; a < 3; ++a) fill_axis(scan.axis[a], a);
}

// The nodes of axis `a`: their count, bounds and step, and how far a coordinate lies from
// its node.
void MeshWalk::fill_axis(AxisMesh& m, int a) const {
  const auto& nodes = nodes_[a];
  m.count = static_cast<int>(nodes.size());
  if (m.count < 3) {
    refuse(0, "only " + std::to_string(m.count) + " nodes along " + axis_names[a] +
                  "; the converter needs at least 3 along each axis");
  }
  m.lo = nodes.front().first;
  m.hi = nodes.back().first;
  m.step = node_step(m.lo, m.hi, m.count);
  // The second node lay above the first; a last node below it is no mesh either.
  if (!(m.step > 0)) {
    refuse(0, std::string("the coordinates along ") + axis_names[a] + " go from " + figure(m.lo) +
                  " to " + figure(m.hi) + ": not an increasing mesh");
  }
  for (int i = 0; i < m.count; ++i) {
    const double node = m.lo + i * m.step;
    const Node& n = nodes[static_cast<std::size_t>(i)];
    const double off = std::max(std::abs(n.low - node), std::abs(n.high - node)) / m.step;
    if (!(off <= m.deviation)) {
      m.deviation = off;
      m.worst_node = i;
    }
  }
  if (!(m.deviation <= irregular_step_fraction)) {
    refuse(0, "not a regular mesh: along " + std::string(axis_names[a]) + " (" +
                  std::to_string(m.count) + " nodes from " + figure(m.lo) + " to " + figure(m.hi) +
                  ", step " + figure(m.step) + ") a coordinate lies " + percent(m.deviation) +
                  " of a step from node " + std::to_string(m.worst_node + 1) + " (more than " +
                  percent(irregular_step_fraction) + " is irregular)");
  }
}

void MeshWalk::refuse(long line, const std::string& what) const {
  throw Refusal(TextPlace{"", 0, file_, line}.message(what));
}

// Finds the next axis of the loop order when a record first leaves the run so far, and
// gives that record its indices; false when the record stays in the run.
bool MeshWalk::discover(const double c[3], long line) {
  int moved[3];
  int count = 0;
  for (int a = 0; a < 3; ++a) {
    bool known = false;
    for (int role = 0; role < known_; ++role) known = known || order_[role] == a;
    if (!known && c[a] != first_[a]) moved[count++] = a;
  }
  if (count == 0) return false;
  if (count > 1) {
    refuse(line, std::string(axis_names[moved[0]]) + " and " + axis_names[moved[1]] +
                     " change together from the first record: not a mesh along the axes"
                     " (a slanted cut?)");
  }
  const int a = moved[0];
  if (c[a] < first_[a]) {
    refuse(line, std::string("the coordinates decrease along ") + axis_names[a] + " (from " +
                     figure(first_[a]) + " to " + figure(c[a]) +
                     "); export with increasing coordinates");
  }
  if (known_ == 1) run_[0] = records_;
  if (known_ == 2) {
    if (records_ % run_[0] != 0) {
      refuse(line, std::string(axis_names[a]) + " changes after " + std::to_string(records_) +
                       " records, not after whole runs of " + std::to_string(run_[0]) +
                       ": the mesh is incomplete or irregular");
    }
    run_[1] = records_;
  }
  order_[known_++] = a;
  // The record is node 1 of the new axis and node 0 of every faster one.
  for (int role = 0; role + 1 < known_; ++role) index_[order_[role]] = 0;
  index_[a] = 1;
  return true;
}

// The indices of the record being placed, from those of the record before: the fastest
// axis counts up and carries into the next at the end of its run; the slowest axis found
// so far has no known run and only counts up.
void MeshWalk::advance() {
  for (int role = 0; role < known_; ++role) {
    const int a = order_[role];
    ++index_[a];
    if (role == known_ - 1 || index_[a] < run_length(role)) return;
    index_[a] = 0;
  }
}

bool RepeatedNode::dropped(const double v[9], long line, const double previous[9],
                           bool has_previous) {
  if (repeat_line_ != 0) {
    refuse(repeat_line_, "a node given twice: the record repeats the node of the line before");
  }
  if (!has_previous || v[0] != previous[0] || v[1] != previous[1] || v[2] != previous[2]) {
    return false;
  }
  for (int n = 3; n < 9; ++n) {
    if (v[n] != previous[n]) {
      refuse(line,
             "a node given twice, with other values: the record repeats the node of the line "
             "before");
    }
  }
  repeat_line_ = line;
  return true;
}

void RepeatedNode::refuse(long line, const std::string& what) const {
  throw Refusal(TextPlace{"", 0, file_, line}.message(what));
}

}  // namespace korvane::prepare
