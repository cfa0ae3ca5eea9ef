"""Reads a snapshot with scipy.io.loadmat and checks it against the
expectations that a C++ test wrote from the records, and, when a report is
given, the grid axes and the voxel count against the report of the same run.

Usage: check_snapshot.py SNAPSHOT EXPECTED [REPORT]
EXPECTED holds one item a line:
    var NAME CLASS ROWS COLUMNS          every record, in the order of the file;
                                         CLASS int32, float64 or text
    val NAME ROW COLUMN VALUE TOLERANCE  one element (from 1), 0 tolerance: exact
    text NAME TEXT                       a text variable, without trailing NULs
A name that several records share is read by scipy from its last record, to
which its classes, shapes and values then refer.
Exit status 0 when everything agrees; each disagreement is printed."""
import sys

import numpy as np
import scipy.io


def read_expected(path):
    variables, values, texts = [], [], []
    with open(path) as f:
        for line in f:
            fields = line.rstrip("\n").split(" ")
            if fields[0] == "var":
                variables.append((fields[1], fields[2], (int(fields[3]), int(fields[4]))))
            elif fields[0] == "val":
                values.append((fields[1], int(fields[2]), int(fields[3]), float(fields[4]), float(fields[5])))
            else:
                texts.append((fields[1], " ".join(fields[2:])))
    return variables, values, texts


def read_report(path):
    """The tagged free-format lines of the report: label -> list of item lists."""
    sections = {}
    with open(path) as f:
        for line in f:
            if not line.startswith(" FD") or line[8:11] != "%  ":
                continue
            fields = line[11:].split()
            numbers = [float(item.replace("D", "E")) for item in fields[1:]]
            sections.setdefault(fields[0], []).append(numbers)
    return sections


def check_report(data, report_path, check):
    """The grid axes against the report's 14 significant digits, and the counts."""
    report = read_report(report_path)
    for axis, label, count in (("gr_l", "l_values", "gr_nl"), ("gr_p", "p_values", "gr_np"),
                               ("gr_q", "q_values", "gr_nq")):
        n = int(report[count][0][0])
        check(data[axis].shape == (1, n), "%s shape %r, report %d" % (axis, data[axis].shape, n))
        printed = report.get(label, [])
        if not all(len(items) == 2 for items in printed):
            check(False, "%s lines are not an index and a value" % label)
            continue
        check([int(i) for i, _ in printed] == list(range(1, n + 1)), "%s indices" % label)
        for i, value in printed:
            written = data[axis][0, int(i) - 1]
            check(abs(written - value) <= 1e-13 * abs(written), "%s(%d) = %r, report %r" % (axis, i, written, value))
    voxels = int(report["no_of_voxels"][0][0])
    check(data["agrid"].shape == (24, voxels), "agrid shape %r, report %d voxels" % (data["agrid"].shape, voxels))


def main(snapshot, expected_path, report_path=None):
    data = scipy.io.loadmat(snapshot)
    variables, values, texts = read_expected(expected_path)
    problems = []

    def check(condition, what):
        if not condition:
            problems.append(what)

    names = [name for name in data if not name.startswith("__")]
    check(names == list(dict.fromkeys(name for name, _, _ in variables)), "names %r" % names)

    last = {name: (kind, shape) for name, kind, shape in variables}
    for name, (kind, shape) in last.items():
        if name not in data:
            continue
        value = data[name]
        if kind == "text":
            # scipy gives a text row as one string.
            check(value.dtype.kind == "U" and value.shape == (shape[0],) and value.dtype.itemsize == 4 * shape[1],
                  "%s class %s shape %r, expected text %r" % (name, value.dtype, value.shape, shape))
            continue
        check(value.dtype == np.dtype(kind), "%s class %s, expected %s" % (name, value.dtype, kind))
        check(value.shape == shape, "%s shape %r, expected %r" % (name, value.shape, shape))

    for name, row, column, value, tolerance in values:
        written = float(data[name][row - 1, column - 1])
        check(abs(written - value) <= tolerance,
              "%s(%d, %d) = %r, expected %r" % (name, row, column, written, value))

    for name, text in texts:
        check(data[name][0] == text, "%s = %r, expected %r" % (name, data[name][0], text))

    if report_path is not None:
        check_report(data, report_path, check)

    for problem in problems[:40]:
        print(problem, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
