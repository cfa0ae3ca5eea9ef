"""Reads a snapshot file written by test_scipy_reader.cpp with scipy.io.loadmat
and checks every variable's name, order, class, shape and values.

Usage: read_with_scipy.py FILE; exit status 0 when everything agrees."""
import math
import sys

import numpy as np
import scipy.io


def element(k, j, l):
    return 10000 * l + 100 * j + k


def main(path):
    data = scipy.io.loadmat(path)
    problems = []

    def check(condition, what):
        if not condition:
            problems.append(what)

    names = [name for name in data if not name.startswith("__")]
    expected_names = ["geo_flag", "d_rotate", "skipped_rows", "special", "g_fp_voxel", "file_name",
                      "gr_stat_dim", "gr_stat", "field_dim", "field", "agrid", "empty", "negative"]
    check(names == expected_names, "names %r" % names)

    def variable(name, dtype, shape):
        value = data[name]
        check(value.dtype == np.dtype(dtype), "%s dtype %s" % (name, value.dtype))
        check(value.shape == shape, "%s shape %r" % (name, value.shape))
        return value

    check(variable("geo_flag", "int32", (1, 1))[0, 0] == 1, "geo_flag value")

    d_rotate = variable("d_rotate", "float64", (3, 3))
    check(all(d_rotate[i - 1, j - 1] == 10 * i + j + 0.25 for i in range(1, 4) for j in range(1, 4)),
          "d_rotate values")

    skipped = variable("skipped_rows", "float64", (2, 3))
    check(skipped.tolist() == [[1.0, 5.0, 9.0], [2.0, 6.0, 10.0]], "skipped_rows %r" % skipped.tolist())

    special = variable("special", "float64", (1, 4))[0]
    check(math.isnan(special[0]) and special[1] == math.inf and special[2] == -math.inf, "special values")
    check(special[3] == 0.0 and math.copysign(1.0, special[3]) < 0, "negative zero")

    voxels = variable("g_fp_voxel", "int32", (2, 4))
    check(voxels.tolist() == [[1, 2, 3, 4], [100001, 5, 6, 100001]], "g_fp_voxel %r" % voxels.tolist())

    file_name = data["file_name"]
    check(file_name.dtype.kind == "U" and file_name.shape == (1,),
          "file_name class %s %r" % (file_name.dtype, file_name.shape))
    check(file_name[0] == "vorn_geometry.mat" + " " * 238, "file_name value %r" % file_name[0])

    check(variable("gr_stat_dim", "int32", (1, 3)).tolist() == [[3, 4, 5]], "gr_stat_dim")
    gr_stat = variable("gr_stat", "int32", (12, 5)).reshape((3, 4, 5), order="F")
    check(all(gr_stat[k - 1, j - 1, l - 1] == element(k, j, l)
              for k in range(1, 4) for j in range(1, 5) for l in range(1, 6)), "gr_stat values")

    check(variable("field_dim", "int32", (1, 3)).tolist() == [[2, 3, 2]], "field_dim")
    field = variable("field", "float64", (6, 2)).reshape((2, 3, 2), order="F")
    check(all(field[k - 1, j - 1, l - 1] == element(k, j, l) + 0.5
              for k in range(1, 3) for j in range(1, 4) for l in range(1, 3)), "field values")

    agrid = variable("agrid", "float64", (24, 2))
    check(all(agrid[r, c] == 1000.0 * (c * 24 + r + 1) for r in range(24) for c in range(2)), "agrid values")

    variable("empty", "float64", (0, 5))
    check(variable("negative", "int32", (1, 3)).tolist() == [[-1, -2, -2147483648]], "negative values")

    for problem in problems:
        print(problem, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
