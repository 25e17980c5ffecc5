#!/usr/bin/env python3
"""Generates the parameter name tables and the ParameterId constants.

The module's parameter vocabulary (names and SysEx ids of every parameter,
the editor's pseudo-parameters and notifiers) is written down as prose in the
parameter reference, a markdown document (tools/data/parameter-tables.md by
default). This script reads that document,
expands the compact notations it uses (ranges "`A_0` ... `A_11` = 771 ... 782",
"for n = 0 ... 11 in order: X_<n>_Y 931+3n, ...", the link bases and the
envelope endings) into one row per parameter, checks the result against the
counts and examples the prose states, and writes

    src/module/ParameterTables.cpp   the eight tables and the pseudo table
    src/module/ParameterIds.h        one ParameterId constant per name

Nothing is guessed: a sentence the parser does not recognise stops it with an
error, and so does any count, id or example that does not match.

Usage: tools/gen_parameter_tables.py [REFERENCE.md [OUTPUT_ROOT]]
"""

import re
import sys
from pathlib import Path

ELLIPSIS = "\u2026"
SECTION_TITLE = "Parameter record and parameter name tables"

# The eight tables in the order their accessors are listed (the row counts the
# reference states for them follow in the accessor sentence and are checked).
TABLES = [
    ("MasterParameterTable", "Master"),
    ("MultimodeParameterTable", "Multimode"),
    ("MasterArpParameterTable", "MasterArp"),
    ("ArpPatternParameterTable", "ArpPattern"),
    ("BeatParameterTable", "Beat"),
    ("PresetParameterTable", "Preset"),
    ("PresetArpParameterTable", "PresetArp"),
    ("LayerParameterTable", "Layer"),
]


class TranscriptionError(Exception):
    pass


def fail(message):
    raise TranscriptionError(message)


def section_text(document):
    lines = document.splitlines()
    start = None
    for i, line in enumerate(lines):
        if line.startswith("# ") and SECTION_TITLE in line:
            start = i
            break
    if start is None:
        fail("section '%s' not found" % SECTION_TITLE)
    end = len(lines)
    for i in range(start + 1, len(lines)):
        if lines[i].startswith("# "):
            end = i
            break
    return lines[start:end]


def split_top_level(text, separator=";"):
    """Splits at separators outside parentheses."""
    parts, depth, current = [], 0, []
    for ch in text:
        if ch == "(":
            depth += 1
        elif ch == ")":
            depth -= 1
            if depth < 0:
                fail("unbalanced parenthesis in: " + text)
        if ch == separator and depth == 0:
            parts.append("".join(current).strip())
            current = []
        else:
            current.append(ch)
    if depth != 0:
        fail("unbalanced parenthesis in: " + text)
    parts.append("".join(current).strip())
    return [p for p in parts if p]


def strip_remark(item):
    """Removes a trailing parenthesised remark such as '(410 is not used)'."""
    item = item.strip().rstrip(".").strip()
    if item.endswith(")"):
        depth = 0
        for i in range(len(item) - 1, -1, -1):
            if item[i] == ")":
                depth += 1
            elif item[i] == "(":
                depth -= 1
                if depth == 0:
                    return item[:i].strip(), item[i + 1:-1]
    return item, None


def expand_name_range(first, last, count):
    """Names from FIRST to LAST where one number or one letter varies."""
    prefix_len = 0
    while prefix_len < min(len(first), len(last)) and first[prefix_len] == last[prefix_len]:
        prefix_len += 1
    suffix_len = 0
    while (suffix_len < min(len(first), len(last)) - prefix_len
           and first[-1 - suffix_len] == last[-1 - suffix_len]):
        suffix_len += 1
    prefix = first[:prefix_len]
    suffix = first[len(first) - suffix_len:] if suffix_len else ""
    # A shared leading digit ("TUNING_BASE1" ... "TUNING_BASE12") belongs to
    # the number, not to the fixed prefix; likewise a shared trailing digit.
    while prefix and prefix[-1].isdigit():
        prefix = prefix[:-1]
    while suffix and suffix[0].isdigit():
        suffix = suffix[1:]
    low = first[len(prefix):len(first) - len(suffix)]
    high = last[len(prefix):len(last) - len(suffix)]
    if low.isdigit() and high.isdigit():
        values = [str(n) for n in range(int(low), int(high) + 1)]
        if str(int(low)) != low:
            fail("leading zero in range %s ... %s" % (first, last))
    elif len(low) == 1 and len(high) == 1 and low.isalpha() and high.isalpha():
        values = [chr(c) for c in range(ord(low), ord(high) + 1)]
    else:
        fail("cannot tell what varies in %s ... %s" % (first, last))
    names = [prefix + v + suffix for v in values]
    if names[0] != first or names[-1] != last:
        fail("range %s ... %s does not reproduce its ends" % (first, last))
    if len(names) != count:
        fail("range %s ... %s has %d names for %d ids" % (first, last, len(names), count))
    return names


def check_example(rows, remark):
    """Checks a remark of the form '`FIRST` a ... `LAST` b; ...' against rows."""
    m = re.match(r"`(\w+)` (\d+) %s `(\w+)` (\d+)" % ELLIPSIS, remark or "")
    if not m:
        fail("expected an example '`FIRST` a ... `LAST` b' in: %s" % remark)
    first, a, last, b = m.group(1), int(m.group(2)), m.group(3), int(m.group(4))
    if rows[0] != (first, a) or rows[-1] != (last, b):
        fail("example %s does not match expansion %s ... %s" % (remark, rows[0], rows[-1]))


def parse_template_loop(item):
    """'for n = 0 ... 11 in order: X_<n>_A 931+3n, X_<n>_B 932+3n, ...'"""
    m = re.match(r"for n = (\d+) %s (\d+) in order: (.*)$" % ELLIPSIS, item)
    if not m:
        return None
    body, remark = strip_remark(m.group(3))
    low, high = int(m.group(1)), int(m.group(2))
    templates = []
    for part in body.split(","):
        t = re.match(r"^\s*(\w*<n>\w*) (\d+)\+(\d+)n\s*$", part)
        if not t:
            fail("unrecognised template '%s' in: %s" % (part, item))
        templates.append((t.group(1), int(t.group(2)), int(t.group(3))))
    rows = []
    for n in range(low, high + 1):
        for name, base, step in templates:
            rows.append((name.replace("<n>", str(n)), base + step * n))
    check_example(rows, remark)
    return rows


def parse_link_loop(item):
    """'for k = 1, 2 in order, base 1281 for k = 1 and 1290 for k = 2: ...'"""
    m = re.match(r"for k = ([\d, ]+) in order, base (.*?): (.*)$", item)
    if not m:
        return None
    ks = [int(k) for k in m.group(1).split(",")]
    bases = {}
    for b in re.finditer(r"(\d+) for k = (\d+)", m.group(2)):
        bases[int(b.group(2))] = int(b.group(1))
    if sorted(bases) != sorted(ks):
        fail("bases do not cover every k in: " + item)
    templates = []
    for part in m.group(3).split(","):
        t = re.match(r"^\s*(\w*<k>\w*) (base|base\+\d+|\+\d+)\s*$", part.strip())
        if not t:
            fail("unrecognised link template '%s'" % part)
        offset = t.group(2)
        offset = 0 if offset == "base" else int(offset.replace("base", "").lstrip("+"))
        templates.append((t.group(1), offset))
    if [o for _, o in templates] != list(range(len(templates))):
        fail("link offsets are not 0, 1, 2, ... in: " + item)
    rows = []
    for k in ks:
        for name, offset in templates:
            rows.append((name.replace("<k>", str(k)), bases[k] + offset))
    return rows


NUMBER_WORDS = {"twelve": 12}


def parse_item(item, state):
    """One ';'-separated item of a table paragraph -> list of (name, id)."""
    item = item.strip()
    if not item:
        return []
    rows = parse_template_loop(item)
    if rows is not None:
        return rows
    rows = parse_link_loop(item)
    if rows is not None:
        return rows

    # '`X_MODE` 1793, then the twelve volume-envelope rows 1794 ... 1805 in the order `A`, `B`, ...'
    m = re.match(r"`(\w+)` (\d+), then the (\w+) [\w-]+ rows (\d+) %s (\d+) in the order (.*)$" % ELLIPSIS, item)
    if m:
        names = re.findall(r"`(\w+)`", m.group(6))
        count = NUMBER_WORDS.get(m.group(3))
        low, high = int(m.group(4)), int(m.group(5))
        if count is None or len(names) != count or high - low + 1 != count:
            fail("envelope list does not hold %s names for %d ids: %s" % (m.group(3), high - low + 1, item))
        prefix = re.match(r"^(.*_)[^_]*_[^_]*$", names[0]).group(1)
        if not all(n.startswith(prefix) for n in names):
            fail("envelope names do not share the prefix %s" % prefix)
        state["endings"] = [n[len(prefix):] for n in names]
        return [(m.group(1), int(m.group(2)))] + [(n, low + i) for i, n in enumerate(names)]

    # '`X_MODE` 1806, then LAYER_FENV_... 1807 ... 1818 with the same twelve endings ... (`A` 1807 ... `B` 1818)'
    m = re.match(r"`(\w+)` (\d+), then (\w+)%s (\d+) %s (\d+) with the same (\w+) endings(.*)$"
                 % (ELLIPSIS, ELLIPSIS), item)
    if m:
        endings = state.get("endings")
        low, high = int(m.group(4)), int(m.group(5))
        if not endings or NUMBER_WORDS.get(m.group(6)) != len(endings) or high - low + 1 != len(endings):
            fail("no matching endings for: " + item)
        rows = [(m.group(3) + e, low + i) for i, e in enumerate(endings)]
        _, remark = strip_remark(m.group(7))
        check_example(rows, remark)
        return [(m.group(1), int(m.group(2)))] + rows

    item, remark = strip_remark(item)
    # '`FIRST` ... `LAST` (letters A to H) = a ... b'
    m = re.match(r"`(\w+)` %s `(\w+)`(?: \(([^)]*)\))? = (\d+) %s (\d+)$" % (ELLIPSIS, ELLIPSIS), item)
    if m:
        low, high = int(m.group(4)), int(m.group(5))
        names = expand_name_range(m.group(1), m.group(2), high - low + 1)
        letters = m.group(3)
        if letters:
            lm = re.match(r"letters (\w) to (\w)$", letters)
            if not lm or (lm.group(1), lm.group(2)) != _varying_letters(names):
                fail("letters remark does not match: " + item)
        return [(n, low + i) for i, n in enumerate(names)]
    # '`NAME` id'
    m = re.match(r"`(\w+)` (\d+)$", item)
    if m:
        return [(m.group(1), int(m.group(2)))]
    fail("unrecognised item: " + item)


def _varying_letters(names):
    first, last = names[0], names[-1]
    diff = [i for i in range(min(len(first), len(last))) if first[i] != last[i]]
    return (first[diff[0]], last[diff[0]])


def parse_tables(lines):
    tables = {}
    stated = {}
    i = 0
    while i < len(lines):
        line = lines[i]
        m = re.match(r"^`(\w+ParameterTable)` \((\d+) rows[^)]*\)(,? in this order)?:\s*(.*)$", line)
        if not m:
            i += 1
            continue
        name, count = m.group(1), int(m.group(2))
        if name in tables:
            fail("table %s given twice" % name)
        items = split_top_level(m.group(4)) if m.group(4) else []
        i += 1
        if m.group(3):
            while i < len(lines) and lines[i].startswith("- "):
                items += split_top_level(lines[i][2:])
                i += 1
        state = {}
        rows = []
        for item in items:
            rows += parse_item(item, state)
        tables[name] = rows
        stated[name] = count
    for name, _ in TABLES:
        if name not in tables:
            fail("table %s not found" % name)
        if len(tables[name]) != stated[name]:
            fail("%s: %d rows transcribed, %d stated" % (name, len(tables[name]), stated[name]))
    return tables


def parse_accessor_counts(lines, tables):
    for line in lines:
        m = re.search(r"Get%sParameterCount -> row count \(([\d, ]+)\)" % ELLIPSIS, line)
        if m:
            counts = [int(c) for c in m.group(1).split(",")]
            order = ["MasterParameterTable", "MultimodeParameterTable", "MasterArpParameterTable",
                     "ArpPatternParameterTable", "BeatParameterTable", "PresetParameterTable",
                     "PresetArpParameterTable", "LayerParameterTable"]
            # The accessor sentence lists the counts in the order the tables are given.
            given = [len(tables[n]) for n in order]
            if sorted(counts) != sorted(given) or counts != [len(tables[n]) for n in table_order(lines)]:
                fail("accessor counts %s do not match the tables %s" % (counts, given))
            return counts
    fail("accessor count sentence not found")


def table_order(lines):
    order = []
    for line in lines:
        m = re.match(r"^`(\w+ParameterTable)` \(", line)
        if m:
            order.append(m.group(1))
    return order


def parse_pseudo(lines):
    for line in lines:
        if line.startswith("The pseudo-parameters that the editor declares"):
            m = re.match(r"^.*?\((\d+) in all;.*?\): (.*)$", line)
            if not m:
                fail("pseudo-parameter sentence not understood")
            stated = int(m.group(1))
            rows = []
            for item in split_top_level(m.group(2)):
                rows += parse_item(item, {})
            return rows, stated
    fail("pseudo-parameter sentence not found")


def parse_outside_tables(lines):
    """Module parameters named in the prose that stand in no table."""
    for line in lines:
        if line.startswith("- Module parameters that stand in no table"):
            return [(n, int(v)) for n, v in re.findall(r"`(\w+)` (\d+)", line)]
    fail("sentence on parameters outside the tables not found")


def check_all(tables, pseudo, stated_pseudo, outside, lines):
    total = sum(len(rows) for rows in tables.values())
    m = None
    for line in lines:
        m = re.search(r"The table counts total (\d+) rows", line) or m
        if m:
            break
    if not m or int(m.group(1)) != total:
        fail("table rows total %d, stated %s" % (total, m.group(1) if m else "nothing"))
    seen = {}
    for name, rows in tables.items():
        for pname, pid in rows:
            if not 1 <= pid <= 8999:
                fail("%s: id %d of %s outside 1 ... 8999" % (name, pid, pname))
            if pid in seen:
                fail("id %d occurs twice (%s, %s)" % (pid, seen[pid], pname))
            seen[pid] = pname
    names = [n for rows in tables.values() for n, _ in rows]
    if len(set(names)) != len(names):
        fail("a table name occurs twice")

    # The pseudo-parameter count the prose states covers the notifiers too.
    if len(pseudo) != stated_pseudo:
        fail("%d pseudo-parameters transcribed, %d stated" % (len(pseudo), stated_pseudo))
    pseudo_ids = [i for _, i in pseudo]
    if len(set(pseudo_ids)) != len(pseudo_ids) or len({n for n, _ in pseudo}) != len(pseudo):
        fail("a pseudo-parameter id or name occurs twice")
    for pname, pid in pseudo:
        if not (9000 <= pid <= 9342 or 10000 <= pid <= 10002):
            fail("pseudo-parameter %s has id %d outside its blocks" % (pname, pid))
    for pname, pid in outside:
        if pid in seen and seen[pid] != pname:
            fail("%s %d collides with table row %s" % (pname, pid, seen[pid]))
    return total


def cpp_rows(rows):
    return "\n".join('    {u"%s", %d},' % (n, i) for n, i in rows)


def write_outputs(root, tables, pseudo, outside, order):
    module = Path(root) / "src" / "module"
    banner = "// Generated by tools/gen_parameter_tables.py from the parameter reference. Do not edit.\n"

    cpp = [banner,
           "// The module's parameter vocabulary: one row per parameter, in the order the\n"
           "// program lists them (not always the order of the ids). The names are the\n"
           "// element names of the configuration cache and of preset documents.\n",
           '#include "module/ParamRecord.h"\n\n#include <iterator>\n',
           "namespace {\n"]
    for table in order:
        cpp.append("constexpr ParameterTableRow %s[] = {\n%s\n};\n" % (table, cpp_rows(tables[table])))
    cpp.append("constexpr ParameterTableRow PseudoParameterTable[] = {\n%s\n};\n" % cpp_rows(pseudo))
    cpp.append("} // namespace\n")
    for table, short in TABLES:
        cpp.append("const ParameterTableRow* Get%sParameterTable() { return %s; }\n"
                   "int Get%sParameterCount() { return int(std::size(%s)); }\n" % (short, table, short, table))
    cpp.append("const ParameterTableRow* GetPseudoParameterTable() { return PseudoParameterTable; }\n"
               "int GetPseudoParameterCount() { return int(std::size(PseudoParameterTable)); }\n")
    (module / "ParameterTables.cpp").write_text("\n".join(cpp), encoding="utf-8")

    h = ["#pragma once\n" + banner,
         ""
         "// ParameterId constants, named as the module and the editor name them.\n"
         "// 1 ... 8999 module parameters (14-bit SysEx numbers), 9000 ... 9342 the\n"
         "// editor's pseudo-parameters, 10000 ... 10002 the notifiers.\n",
         "/// One parameter: a module parameter, a pseudo-parameter or a notifier.\n"
         "using ParameterId = int;\n"]
    for table in order:
        h.append("// %s\n%s\n" % (table, "\n".join(
            "inline constexpr ParameterId %s = %d;" % (n, i) for n, i in tables[table])))
    table_names = {n for rows in tables.values() for n, _ in rows}
    extra = [(n, i) for n, i in outside if n not in table_names]
    h.append("// Module parameters outside the tables: fixed records and the SIMM-id\n"
             "// partners of object-valued parameters.\n%s\n" % "\n".join(
                 "inline constexpr ParameterId %s = %d;" % (n, i) for n, i in extra))
    h.append("// Pseudo-parameters and notifiers.\n%s\n" % "\n".join(
        "inline constexpr ParameterId %s = %d;" % (n, i) for n, i in pseudo))
    (module / "ParameterIds.h").write_text("\n".join(h), encoding="utf-8")


def main(argv):
    if len(argv) > 3:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    repo = Path(__file__).resolve().parent.parent
    source = Path(argv[1]) if len(argv) > 1 else repo / "tools" / "data" / "parameter-tables.md"
    root = argv[2] if len(argv) > 2 else str(repo)
    lines = section_text(source.read_text(encoding="utf-8"))
    try:
        tables = parse_tables(lines)
        order = table_order(lines)
        parse_accessor_counts(lines, tables)
        pseudo, stated = parse_pseudo(lines)
        outside = parse_outside_tables(lines)
        total = check_all(tables, pseudo, stated, outside, lines)
    except TranscriptionError as error:
        print("transcription failed: %s" % error, file=sys.stderr)
        return 1
    write_outputs(root, tables, pseudo, outside, order)
    print("%d table rows in %d tables, %d pseudo-parameters, %d outside the tables"
          % (total, len(tables), len(pseudo), len(outside)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
