// The page's Checks section: the verdict first, then what each check found.
#include "inspect/render/html.h"
#include "inspect/render/report_page.h"
#include "textio/format.h"

namespace korvane::inspect {
namespace {

std::string plane_name(int axis) { return std::string(axis_names[axis]) + " = 0"; }

// What makes the map faulty, one clause each; empty when nothing does.
std::vector<std::string> faults(const CheckReport& checks) {
  std::vector<std::string> found;
  if (checks.non_finite.count > 0) {
    const long n = checks.non_finite.count;
    found.push_back(std::to_string(n) + (n == 1 ? " value is" : " values are") +
                    " NaN or infinite");
  }
  for (const SetChecks& set : checks.sets) {
    for (const PlaneParity& plane : set.parities) {
      if (plane.fault()) {
        found.push_back(set.set.letter + ", " + plane_name(plane.axis) + ": " +
                        describe(plane.match));
      }
    }
    for (const PlaneCheck& kept : set.kept) {
      for (const PlaneComponent& p : kept.odd) {
        if (kept.known_code && kept.first_node == 0.0 && !vanishes(p, checks.tolerance)) {
          found.push_back(p.name + " does not vanish on the kept plane " + plane_name(kept.axis));
        }
      }
    }
  }
  return found;
}

std::string values(const FieldMap& s, const NonFinite& non_finite) {
  if (non_finite.count == 0) return html_paragraph("Values: every value is a number.");
  const long n = non_finite.count;
  return html_paragraph("Values: " + std::to_string(n) + (n == 1 ? " value is" : " values are") +
                        " NaN or infinite (FAULT), the first " + non_finite.component +
                        " at node " + node_place(s, non_finite.at) + ".");
}

std::string divergence_table(const FieldMap& s, const CheckReport& checks) {
  std::vector<Row> rows;
  for (const SetChecks& set : checks.sets) {
    const Divergence& d = set.divergence;
    if (!d.computed) {
      rows.push_back({set.set.letter, "not computed: " + d.reason, "", "", "", ""});
    } else if (d.field_max == 0.0) {
      rows.push_back({set.set.letter, "zero at every node", "", "", "", ""});
    } else {
      rows.push_back({set.set.letter, general_number(d.relative, 3), general_number(d.largest, 7),
                      node_place(s, d.at), general_number(d.field_max, 7),
                      general_number(d.step, 7)});
    }
  }
  return html_table("Divergence by central differences over the interior nodes",
                    {"set", "relative", "max |div| per m", "at node", "max |field|", "step (m)"},
                    rows) +
         html_paragraph(
             "A figure to judge, not a verdict: relative = max |div| x smallest step / max "
             "|field|. A divergence-free field at most quadratic gives rounding (1e-16 to 1e-13), "
             "a smooth one the truncation of the differences, of order (step / L)^2; real solver "
             "exports, whose field drops to zero at metal walls within a cell, give 0.4 to 0.8 "
             "however good the map. Compare it with another conversion of the same table.",
             "note");
}

// One table per set: each plane the grid is symmetric about, the code its parities match,
// and each component's parity.
std::string parity_tables(const FieldMap& s, const CheckReport& checks) {
  std::string out;
  for (const SetChecks& set : checks.sets) {
    std::vector<Row> rows;
    for (const PlaneParity& plane : set.parities) {
      for (const ComponentParity& p : plane.c) {
        const bool first = &p == &plane.c[0];
        const bool show_node = p.parity == Parity::jump || p.parity == Parity::neither;
        rows.push_back({first ? plane_name(plane.axis) : "",
                        first ? describe(plane.match) + (plane.fault() ? " (FAULT)" : "") : "",
                        p.name, describe(p.parity), general_number(p.from_even, 3),
                        general_number(p.from_odd, 3), general_number(p.peak, 3),
                        show_node ? node_place(s, p.at_odd) : ""});
      }
    }
    if (rows.empty()) continue;
    out += html_table("Parity of " + set.set.title +
                          " about each plane the grid is symmetric "
                          "about, relative to max |" +
                          set.set.letter +
                          "|, m the mirror node "
                          "(tolerance " +
                          general_number(checks.tolerance, 3) + ")",
                      {"plane", "code matched", "component", "parity", "|F(m) - F|", "|F(m) + F|",
                       "max |F|", "largest |F(m) + F| at"},
                      rows);
  }
  if (out.empty()) {
    return html_paragraph("Parity: the grid is symmetric about none of x = 0, y = 0, z = 0.");
  }
  return out;
}

std::string kept_plane_tables(const FieldMap& s, const CheckReport& checks) {
  std::string out;
  for (const SetChecks& set : checks.sets) {
    for (const PlaneCheck& kept : set.kept) {
      const std::string head = set.set.letter + ", " + plane_name(kept.axis) + " (ksym_" +
                               axis_names[kept.axis] + " = " + std::to_string(kept.code);
      if (!kept.known_code) {
        out += html_paragraph(head + "): not a symmetry code; not checked");
        continue;
      }
      if (kept.first_node != 0.0) {
        out += html_paragraph(head + "): node 1 lies at " + general_number(kept.first_node, 7) +
                              " m, not on the plane; not checked");
        continue;
      }
      std::vector<Row> rows;
      for (const PlaneComponent& p : kept.odd) {
        const bool zero = vanishes(p, checks.tolerance);
        rows.push_back({p.name, general_number(p.relative, 3), general_number(p.largest, 7),
                        node_place(s, p.at),
                        zero ? "zero" : "FAULT: an odd component must vanish on its plane"});
      }
      out += html_table(
          head + (kept.code == 1 ? ", normal component odd)" : ", parallel components odd)"),
          {"odd component", "relative", "max |value|", "at node", "verdict"}, rows);
    }
  }
  if (out.empty()) return html_paragraph("Kept symmetry planes: none declared.");
  return html_paragraph(
             "Kept symmetry planes: the odd components on each plane (node 1), "
             "relative to the largest |field| of the set:") +
         out;
}

}  // namespace

Verdict checks_verdict(const CheckReport& checks) {
  const std::vector<std::string> found = faults(checks);
  if (found.empty()) return {false, "Checks: no fault found"};
  std::string text = "Checks: FAULT: ";
  for (std::size_t n = 0; n < found.size(); ++n) text += (n == 0 ? "" : "; ") + found[n];
  return {true, text};
}

std::string checks_section(const InspectedFile& file, const CheckReport& checks) {
  const FieldMap& s = file.map;
  if (checks.sets.empty()) {
    return html_section("checks", "Checks", html_paragraph("No field components to check."));
  }
  return html_section("checks", "Checks",
                      html_verdict(checks_verdict(checks).fault, checks_verdict(checks).text) +
                          values(s, checks.non_finite) + parity_tables(s, checks) +
                          kept_plane_tables(s, checks) + divergence_table(s, checks));
}

}  // namespace korvane::inspect
