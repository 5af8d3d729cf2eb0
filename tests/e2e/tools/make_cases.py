#!/usr/bin/env python3
"""Writes the complete-run cases of tests/e2e/cases/ whose expected files are
too long to work out line by line by hand.

This is a reference of its own, not a copy of the program: each case below
spells out the screen blocks it expects in the order the dialogue shows them,
and the numbers come from slow, literal Python arithmetic (exact decimal
rounding for F fields, single precision emulated by rounding after every
operation). Its outputs are committed; the tests never run it.

    python3 tests/e2e/tools/make_cases.py          # rewrites the case folders
"""

import os
import shutil
import struct
import sys
from decimal import ROUND_HALF_EVEN, Decimal

CASES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "cases")

# ---------------------------------------------------------------- editing


def f32(v):
    """Nearest single-precision value, widened back."""
    return struct.unpack("<f", struct.pack("<f", v))[0]


def fedit(v, w, d):
    """Fw.d: exact decimal rounding, ties to even; sign only if a digit shows;
    the leading zero goes when it alone would overflow the field; NaN and
    infinities fill the field with asterisks."""
    if v != v or v in (float("inf"), float("-inf")):
        return "*" * w
    q = Decimal(v).copy_abs().quantize(Decimal(1).scaleb(-d), rounding=ROUND_HALF_EVEN)
    digits = format(q, "." + str(d) + "f")
    if d == 0:
        digits += "."
    sign = "-" if v < 0 and q != 0 else ""
    if len(sign) + len(digits) <= w:
        return (sign + digits).rjust(w)
    if len(sign) + len(digits) == w + 1 and digits.startswith("0"):
        return sign + digits[1:]
    return "*" * w


def iedit(k, w):
    s = str(k)
    return s.rjust(w) if len(s) <= w else "*" * w


def free_real(v):
    """A real in a free-format record: blank, sign or blank, 9 significant
    digits in the shortest form, always with a decimal point."""
    if v == 0:
        mag = "0."
    else:
        mag = format(abs(v), ".9g").upper()
        if "E" in mag:
            m, e = mag.split("E")
            if "." not in m:
                m += "."
            mag = m + "E" + e
        elif "." not in mag:
            mag += "."
    return " " + ("-" if v < 0 else " ") + mag


def free_line(items):
    """One free-format write of texts (str), integers (int) and reals (float)
    with the 80-column rule; returns the text with its line feeds."""
    lines, cur = [], ""
    for it in items:
        if isinstance(it, str):
            if cur and len(cur) + len(it) >= 80:
                lines.append(cur)
                cur = ""
            if not cur:
                cur = " "
            cur += it
        elif isinstance(it, int):
            s = str(it)
            if cur and len(cur) + len(s.lstrip("-")) >= 80:
                lines.append(cur)
                cur = ""
            cur += " " + s
        else:
            s = free_real(it)
            if cur and len(cur) + len(s) >= 80:
                lines.append(cur)
                cur = ""
            cur += s
    lines.append(cur)
    return "".join(line + "\n" for line in lines)


def name79(name):
    return name[:79].ljust(79)


def a30(name):
    return name79(name)[:30]


# ------------------------------------------------------------- screen texts

BANNER = (' Program "Ortelix" creates a file of PCNM\n'
          " or polynomial spatial variables.\n"
          "\n"
          " Version 1.0\n"
          " Spatial variables for canonical ordination and regression.\n"
          "\n")
START = BANNER + " This program can handle a maximum of   2000 objects.\n" \
    " Name of output file containing the PCoA eigenvalues?\n"
ASK_VARIABLE = "\n Name of output file containing the spatial\n variables (PCNM or monomials)?\n"
ASK_LAYOUT = ("\n Output the file of spatial variables in the following format:\n"
              " (1) A single line per object\n"
              " (2) Folded object vectors, 10 to 12 values per line\n"
              " (3) Canoco input file, FREE format\n")
ASK_DESIGN = ("\n Sampling design:\n"
              " (1) A transect with equidistant points\n"
              " (2) A regular grid\n"
              " (3) File containing X or X-Y coordinates\n")
ASK_OBJECTS = "\n Number of objects?\n"
JOKING = " You are joking, I hope?\n Maximum number =  2000\n"
ASK_GRID = "\n Regular grid: \n number of rows and columns of points (two integers)\n"
EXCESSIVE = (" These dimensions yield an excessive number of points.\n"
             " Use a smaller grid, or redimension and recompile\n"
             " the program.\n")
ASK_SAVE = "\n Save the file of X-Y coordinates?\n (0) No, (1) Yes\n"
SAVED = ("\n The X-Y coordinates of the points on the grid\n"
         ' were written out to the file "Grid.txt" \n')
ASK_FILE = "\n File containing the coordinates?\n"
ASK_METHOD = ("\n Do you want to construct\n"
              " (1) a file of PCNM spatial variables?\n"
              " (2) a file containing a polynomial of the coordinates?\n")
RANGING = "\n The coordinates were ranged and centred before computing the spatial variables.\n"
ASK_ORDER = "\n Order of the polynomial? 2 to 5\n"
ORDER_HIGH = " The highest polynomial order in this program is 5.\n Try again...\n"
SAME_POSITION = ("\n All the sites have the same coordinates: no spatial\n"
                 " variables can be built.\n")
ASK_LIMIT = ("\n Truncation of the distance matrix --\n\n"
             " Highest unmodified value in distance matrix?\n"
             " Type an integer or a real number, ex. 1 or 65.22.\n"
             " Use the SAME measurement units as the site coordinates.\n")
END = "\n End of the program.\n"


def order_low(k):
    return free_line(["You don't want to compute a polynomial of order", k]) + " Try again...\n"


def too_many_monomials(k, nvar):
    return (free_line(["A polynomial of order ", k, " leads to a spatial"])
            + free_line(["matrix containing ", nvar, " monomials, which is too many:"])
            + " more monomials than (number of objects - 1).\n"
            + " Please choose a smaller order for the polynomial.\n")


def input_file_line(name):
    return " Input file of coordinates: " + a30(name) + "\n"


def monomials_written(name):
    return "\n" + free_line(["The monomials have been written out to file ", name79(name)])


def pcnm_written(name):
    return ("\n The principal coordinates with positive\n"
            " eigenvalues (PCNM variables) have been\n"
            + free_line(["written out to file ", name79(name)]))


def computation_time():
    # The seconds are masked by the test; any whole number stands here.
    return "\n Computation time:      0.00 sec.\n"


def verbose_ranging(vmin, ranges, rangmax):
    return (free_line(["Vector Minim ="] + vmin) + free_line(["Vector Maxim ="] + ranges)
            + free_line(["Rangmax =", rangmax]) + "\n")


# ------------------------------------------------------------- report texts

R_TRANSECT = "  Unidimensional transect with equidistant points\n"


def r_grid(rows, cols):
    return " Regular grid containing\n" + iedit(rows, 7) + " horizontal points\n" + \
        iedit(cols, 7) + " vertical points\n\n"


def r_input(name, n, p, nsup):
    return ("\n Input file: " + a30(name) + "\n" + iedit(n, 6) + " objects\n" + iedit(p, 6)
            + " coordinates\n" + iedit(nsup, 6) + " supplementary objects\n\n")


def r_matrix(title, rows):
    out = "\n " + title + "\n\n"
    for row in rows:
        for k in range(0, max(len(row), 1), 10):
            out += " " + "".join(fedit(v, 10, 5) for v in row[k:k + 10]) + "\n"
    return out + "\n"


def r_order(k):
    return "\n" + free_line(["Constructing a polynomial of order ", k])


R_PCNM = "\n Matrix of PCNM spatial variables\n"


# ------------------------------------------------------------- arithmetic


def power(v, e, single):
    """Repeated squaring in the precision of v."""
    mul = (lambda a, b: f32(a * b)) if single else (lambda a, b: a * b)
    r, s = (f32(1.0) if single else 1.0), v
    while e > 0:
        if e % 2 == 1:
            r = mul(r, s)
        e //= 2
        if e > 0:
            s = mul(s, s)
    return r


def range_sites(sites, pcnm=False):
    """Shift every coordinate to a minimum of 0 and divide all by the largest
    range (times single-precision 0.1 for PCNM). Returns the ranged rows,
    minima, ranges and the divisor."""
    p = len(sites[0])
    vmin = [min(s[j] for s in sites) for j in range(p)]
    vmax = [max(s[j] for s in sites) for j in range(p)]
    shifted = [[s[j] - vmin[j] for j in range(p)] for s in sites]
    ranges = [vmax[j] - vmin[j] for j in range(p)]
    rangmax = ranges[0]
    for r in ranges[1:]:
        if r > rangmax:
            rangmax = r
    if pcnm:
        rangmax = rangmax * f32(0.1)
    return [[v / rangmax for v in row] for row in shifted], vmin, ranges, rangmax


def centred(column):
    total = 0.0
    for v in column:
        total = total + v
    mean = total / len(column)
    return [v - mean for v in column]


def transect_monomials(ranged_x, order):
    """Rows of x, x^2, ... x^order of the centred coordinate, 64-bit."""
    xs = centred(ranged_x)
    return [[power(v, e, False) for e in range(1, order + 1)] for v in xs]


def surface_monomials(ranged, order):
    """Rows of monomials in written order: by degree, x power decreasing;
    single precision throughout, never raising zero to a power."""
    xs = centred([r[0] for r in ranged])
    ys = centred([r[1] for r in ranged])
    rows = []
    for cx, cy in zip(xs, ys):
        fx, fy = f32(cx), f32(cy)
        row = []
        for degree in range(1, order + 1):
            for a in range(degree, -1, -1):
                b = degree - a
                if (fx == 0 and fy == 0) or (fx == 0 and a > 0) or (fy == 0 and b > 0):
                    val = 0.0
                elif fx == 0:
                    val = power(fy, b, True)
                elif fy == 0:
                    val = power(fx, a, True)
                else:
                    val = f32(power(fx, a, True) * power(fy, b, True))
                row.append(val)
        rows.append(row)
    return rows


def transect_sites(n):
    return [[float(i)] for i in range(1, n + 1)]


def grid_sites(rows, cols):
    return [[float((i % rows) + 1), float((i // rows) + 1)] for i in range(rows * cols)]


# ------------------------------------------------------------- variable file

NUMBER_FORMAT = {2: (10, 5, 12), 3: (11, 6, 11), 4: (12, 7, 10), 5: (12, 7, 10)}


def value_lines(row, w, d, per_line):
    if not row:
        return "\n"
    out = ""
    for k in range(0, len(row), per_line):
        out += "".join(fedit(v, w, d) for v in row[k:k + per_line]) + "\n"
    return out


def writeout(rows, order, layout):
    w, d, k = NUMBER_FORMAT[order]
    out = " %d %d\n" % (len(rows), len(rows[0]))
    for row in rows:
        out += value_lines(row, w, d, 2000 if layout == 1 else k)
    return out


def labels(word, count):
    if count == 0:
        return word + "\n"
    if count <= 99:
        one = lambda i: word + iedit(i, 2) + "  "
    elif count <= 999:
        one = lambda i: word + iedit(i, 3) + " "
    else:
        one = lambda i: word + iedit(i, 4)
    out = ""
    for k in range(1, count + 1, 10):
        out += "".join(one(i) for i in range(k, min(k + 9, count) + 1)).rstrip(" ") + "\n"
    return out


def canoco_monomials(rows, order):
    w, d, k = NUMBER_FORMAT[order]
    nvar = len(rows[0])
    out = "File of monomials\nFREE\n %d %d\n" % (nvar, len(rows))
    for row in rows:
        out += value_lines(row, w, d, k)
    return out + labels("Mono", nvar) + labels("Site", len(rows))


def grid_file(sites):
    return "".join(" " + fedit(x, 5, 0) + fedit(y, 5, 0) + "\n" for x, y in sites)


# ------------------------------------------------------------- cases


class Case:
    def __init__(self, name, answers, stdout, files, inputs=None, stderr="", status="exit 0",
                 stdin_raw=None):
        self.name = name
        self.stdin = stdin_raw if stdin_raw is not None else "".join(a + "\n" for a in answers)
        self.stdout, self.files, self.inputs = stdout, files, inputs or {}
        self.stderr, self.status = stderr, status


def diagnostic(context, reason, state):
    return ("%s: %s\napparent state: %s\nlast format: list io\n"
            "lately reading sequential formatted external IO\n" % (context, reason, state))


EOF_KEYBOARD = diagnostic("list in", "end of file", "unit 5 (unnamed)")

CASES_LIST = []


def case(fn):
    CASES_LIST.append(fn)
    return fn


def poly_transect_run(name, n, order, layout, layout_answer=None, var="var.txt"):
    sites = transect_sites(n)
    ranged, _, _, _ = range_sites(sites)
    rows = transect_monomials([r[0] for r in ranged], order)
    out = START + ASK_VARIABLE + ASK_LAYOUT + ASK_DESIGN + ASK_OBJECTS + ASK_METHOD + RANGING + \
        ASK_ORDER + monomials_written(var) + END
    rep = BANNER + R_TRANSECT + RANGING + r_order(order) + END
    body = canoco_monomials(rows, order) if layout == 3 else writeout(rows, order, layout)
    answers = ["rep.txt", var, str(layout_answer or layout), "1", str(n), "2", str(order)]
    return Case(name, answers, out, {"rep.txt": rep, name79(var).rstrip(): body})


@case
def poly_transects():
    # x: -0.5 .. 0.5, x^2: 0.25 0.0625 0 0.0625 0.25 in all three layouts.
    yield poly_transect_run("poly-transect5-order2-layout1", 5, 2, 1)
    yield poly_transect_run("poly-transect5-order2-layout2", 5, 2, 2)
    yield poly_transect_run("poly-transect5-order2-layout3", 5, 2, 3)
    # F12.7, ten values a line: five monomials fold onto one line.
    yield poly_transect_run("poly-transect7-order5-layout2", 7, 5, 2)
    # No check of the order against n for one coordinate; a variable-file
    # name of 85 characters is cut to 79.
    yield poly_transect_run("poly-transect3-order5-long-name", 3, 5, 1,
                            var="v" * 70 + "123456789" + "abcdef")
    # Order 4 on one coordinate: F12.7 in layout 1.
    yield poly_transect_run("poly-transect6-order4-layout1", 6, 4, 1)
    # The last answer has no line feed: the read still completes, and no
    # question follows it.
    c = poly_transect_run("poly-transect5-order3-no-final-line-feed", 5, 3, 1)
    c.stdin = c.stdin[:-1]
    yield c


@case
def canoco_label_widths():
    # Site labels: exactly 10 (one full line), 11, 99, 100 (3-digit form),
    # 999, 1000 (labels touching).
    for n, order in ((10, 2), (11, 3), (99, 4), (100, 5), (999, 2), (1000, 2)):
        yield poly_transect_run("canoco-transect%d-sites" % n, n, order, 3)


def poly_grid_run(name, rows_, cols, layout, orders, layout_answers=None, verbose=False,
                  design="2", save="0"):
    sites = grid_sites(rows_, cols)
    ranged, vmin, ranges, rangmax = range_sites(sites)
    n = rows_ * cols
    order = orders[-1]
    out = START + ASK_VARIABLE + ASK_LAYOUT * len(layout_answers or [1]) + ASK_DESIGN + ASK_GRID + \
        ASK_SAVE + (SAVED if save == "1" else "") + ASK_METHOD + RANGING
    if verbose:
        out += verbose_ranging(vmin, ranges, rangmax)
    for k in orders:
        out += ASK_ORDER
        if k < 2:
            out += order_low(k)
        elif k > 5:
            out += ORDER_HIGH
        elif (k + 1) * (k + 2) // 2 - 1 >= n - 1:
            out += too_many_monomials(k, (k + 1) * (k + 2) // 2 - 1)
    rowsv = surface_monomials(ranged, order)
    out += monomials_written("var.txt") + END
    rep = BANNER + r_grid(rows_, cols) + RANGING
    if verbose:
        rep += r_matrix("Matrix X after ranging", ranged)
    rep += r_order(order) + END
    body = canoco_monomials(rowsv, order) if layout == 3 else writeout(rowsv, order, layout)
    files = {"rep.txt": rep, "var.txt": body}
    if save == "1":
        files["Grid.txt"] = grid_file(sites)
    answers = ["rep.txt", "var.txt"] + (layout_answers or [str(layout)]) + \
        [design, "%d %d" % (rows_, cols), save, "2"] + [str(k) for k in orders]
    return Case(name, answers, out, files)


@case
def poly_grids():
    # Orders 1 and 6 refused, 3 accepted: nine values in F11.6, one line
    # per object; -7 then 1 gives layout 1 with the diagnostics on.
    yield poly_grid_run("poly-grid10x10-order-refusals-then-3-verbose", 10, 10, 1, [1, 6, 3],
                        layout_answers=["-7", "1"], verbose=True)
    # 14 monomials fold as 10 and 4 under (10F12.7).
    yield poly_grid_run("poly-grid4x4-order4-layout2", 4, 4, 2, [4], save="1")
    # At seven decimals single precision shows: x^2 y at centred (-1/6,
    # -5/18) is -5/648 = -0.00771605, -0.0077161 in single precision and
    # -0.0077160 in 64 bits.
    yield poly_grid_run("poly-grid10x10-order4-single-precision", 10, 10, 1, [4])
    # 20 monomials: two full lines; the middle column and row centre to
    # exactly 0.
    yield poly_grid_run("poly-grid5x5-order5-layout2", 5, 5, 2, [5])
    # 14 monomials for 15 objects is n - 1: refused; order 3 in Canoco form.
    yield poly_grid_run("poly-grid5x3-order4-refused-order3-canoco", 5, 3, 3, [4, 3])
    # The most negative 32-bit layout answer switches the diagnostics on
    # and is asked again; design 0 is the grid.
    yield poly_grid_run("dialogue-layout-minint-verbose-canoco", 4, 4, 3, [4],
                        layout_answers=["-2147483648", "3"], verbose=True, design="0")


@case
def layout_reasks():
    # 0, 4 and -4 are asked again without a word; -4 already turns the
    # diagnostics on for the rest of the run.
    sites = transect_sites(5)
    ranged, vmin, ranges, rangmax = range_sites(sites)
    rows = transect_monomials([r[0] for r in ranged], 2)
    out = START + ASK_VARIABLE + ASK_LAYOUT * 4 + ASK_DESIGN + ASK_OBJECTS + ASK_METHOD + RANGING + \
        verbose_ranging(vmin, ranges, rangmax) + ASK_ORDER + monomials_written("var.txt") + END
    rep = BANNER + R_TRANSECT + RANGING + r_matrix("Matrix X after ranging", ranged) + r_order(2) + END
    yield Case("dialogue-layout-reasks-verbose", ["rep.txt", "var.txt", "0", "4", "-4", "2", "1", "5", "5", "2"],
               out, {"rep.txt": rep, "var.txt": writeout(rows, 2, 2)})


@case
def null_answers():
    # Every null answer leaves the variable as it was: layout 0 (asked
    # again), design 0 (grid), rows and columns 0 (asked again), the
    # columns of a refused grid kept, save 0, method 0 (polynomial),
    # order 0 (refused).
    sites = grid_sites(3, 3)
    ranged, _, _, _ = range_sites(sites)
    rows = surface_monomials(ranged, 2)
    answers = ["rep.txt", "var.txt", "/", "1", ",", "/", "2*", "3 700", ",3", ",", "/", ",", "2"]
    out = START + ASK_VARIABLE + ASK_LAYOUT * 2 + ASK_DESIGN + ASK_GRID * 2 + ASK_GRID + EXCESSIVE + \
        ASK_GRID + ASK_SAVE + ASK_METHOD + RANGING + ASK_ORDER + order_low(0) + ASK_ORDER + \
        monomials_written("var.txt") + END
    rep = BANNER + r_grid(3, 3) + RANGING + r_order(2) + END
    yield Case("dialogue-null-answers", answers, out, {"rep.txt": rep, "var.txt": writeout(rows, 2, 1)})


@case
def grid_designs():
    # 45 x 45 is refused with three lines, 0 x 10 silently; rows and
    # columns on two lines; design 7 and save answer 2 (no file, no word).
    sites = grid_sites(4, 3)
    ranged, _, _, _ = range_sites(sites)
    rows = surface_monomials(ranged, 2)
    answers = ["rep.txt", "var.txt", "2", "7", "45 45", "0 10", "4", "3", "2", "2", "2"]
    out = START + ASK_VARIABLE + ASK_LAYOUT + ASK_DESIGN + ASK_GRID + EXCESSIVE + ASK_GRID + ASK_GRID + \
        ASK_SAVE + ASK_METHOD + RANGING + ASK_ORDER + monomials_written("var.txt") + END
    rep = BANNER + r_grid(4, 3) + RANGING + r_order(2) + END
    yield Case("design-grid-refusals-save2", answers, out, {"rep.txt": rep, "var.txt": writeout(rows, 2, 2)})

    # 3 x 2 saved to Grid.txt; order 2 gives n - 1 monomials and every
    # higher order more, so the run ends at the end of input.
    sites = grid_sites(3, 2)
    out = START + ASK_VARIABLE + ASK_LAYOUT + ASK_DESIGN + ASK_GRID + ASK_SAVE + SAVED + ASK_METHOD + \
        RANGING + ASK_ORDER + too_many_monomials(2, 5) + ASK_ORDER + too_many_monomials(3, 9) + ASK_ORDER
    rep = BANNER + r_grid(3, 2) + RANGING
    yield Case("design-grid3x2-saved-order2-refused", ["rep.txt", "var.txt", "1", "2", "3 2", "1", "2", "2", "3"],
               out, {"rep.txt": rep, "var.txt": "", "Grid.txt": grid_file(sites)},
               stderr=EOF_KEYBOARD, status="exit 134")

    # 2000 points either way round are accepted (the run ends at the
    # method question); X of 2000 just fills its F5.0 field in Grid.txt.
    for rows_, cols, design, save in ((1, 2000, "0", "0"), (2000, 1, "-1", "1")):
        out = START + ASK_VARIABLE + ASK_LAYOUT + ASK_DESIGN + ASK_GRID + ASK_SAVE + \
            (SAVED if save == "1" else "") + ASK_METHOD
        files = {"rep.txt": BANNER + r_grid(rows_, cols), "var.txt": ""}
        if save == "1":
            files["Grid.txt"] = grid_file(grid_sites(rows_, cols))
        yield Case("design-grid%dx%d-accepted" % (rows_, cols),
                   ["rep.txt", "var.txt", "1", design, "%d %d" % (rows_, cols), save], out,
                   files, stderr=EOF_KEYBOARD, status="exit 134")


@case
def transect_designs():
    # 0, -5 and 2001 each get both lines; 2000 is accepted.
    out = START + ASK_VARIABLE + ASK_LAYOUT + ASK_DESIGN + (ASK_OBJECTS + JOKING) * 3 + ASK_OBJECTS + ASK_METHOD
    yield Case("design-transect-refusals-then-2000", ["rep.txt", "var.txt", "1", "1", "0", "-5", "2001", "2000"],
               out, {"rep.txt": BANNER + R_TRANSECT, "var.txt": ""}, stderr=EOF_KEYBOARD, status="exit 134")

    # One point: no range to divide by; the run stops after the ranging
    # message, on the screen and in the report.
    out = START + ASK_VARIABLE + ASK_LAYOUT + ASK_DESIGN + ASK_OBJECTS + ASK_METHOD + RANGING + SAME_POSITION
    yield Case("design-transect1-same-position", ["rep.txt", "var.txt", "1", "1", "1", "2"], out,
               {"rep.txt": BANNER + R_TRANSECT + RANGING + SAME_POSITION, "var.txt": ""})

    # A 1 x 1 grid for PCNM with the diagnostics on: the same stop, and no
    # diagnostic echo.
    out = START + ASK_VARIABLE + ASK_LAYOUT + ASK_DESIGN + ASK_GRID + ASK_SAVE + ASK_METHOD + RANGING + \
        SAME_POSITION
    yield Case("design-grid1x1-pcnm-verbose-same-position", ["rep.txt", "var.txt", "-1", "2", "1 1", "0", "1"], out,
               {"rep.txt": BANNER + r_grid(1, 1) + RANGING + SAME_POSITION, "var.txt": ""})

    # Grid.txt left by an earlier run is not overwritten.
    out = START + ASK_VARIABLE + ASK_LAYOUT + ASK_DESIGN + ASK_GRID + ASK_SAVE
    yield Case("design-grid-existing-Grid.txt", ["rep.txt", "var.txt", "1", "2", "2 2", "1"], out,
               {"rep.txt": BANNER + r_grid(2, 2), "var.txt": ""}, inputs={"Grid.txt": "    9.   9.\n"},
               stderr=diagnostic("open", "'new' file exists", "unit 9 named Grid.txt"), status="exit 134")


def coords_text(header, records):
    return header + "\n" + "".join(" ".join(r) + "\n" for r in records)


@case
def coordinate_files():
    # Supplementary objects widen the ranges but neither move the mean nor
    # get monomials. x^2 of 0.125 is 0.015625, a tie that rounds to even.
    values = ["10", "11", "12", "13", "14", "18", "12"]
    sites = [[float(v)] for v in values]
    ranged, _, _, _ = range_sites(sites)
    rows = transect_monomials([r[0] for r in ranged[:5]], 2)
    out = START + ASK_VARIABLE + ASK_LAYOUT + ASK_DESIGN + ASK_FILE + input_file_line("sites.txt") + \
        ASK_METHOD + RANGING + ASK_ORDER + monomials_written("var.txt") + END
    rep = BANNER + r_input("sites.txt", 5, 1, 2) + RANGING + r_order(2) + END
    yield Case("coords-sup-poly-transect", ["rep.txt", "var.txt", "1", "3", "sites.txt", "2", "2"], out,
               {"rep.txt": rep, "var.txt": writeout(rows, 2, 1)},
               inputs={"sites.txt": coords_text("5 1 2", [[v] for v in values])})

    # A fourth header value and a third value on a site's line are
    # ignored; a record may continue on the next line; the file may end
    # without a line feed. Diagnostics on: both matrix echoes.
    pts = [("0", "0"), ("3", "0"), ("6", "1"), ("1", "2"), ("4", "3"), ("7", "2.5"), ("2", "4"), ("5", "5")]
    text = "7 2 1 99\n0 0 5\n3 0 -7\n6\n1\n1 2\n4 3\n7,2.5\n2 4 1e9\n5 5"
    sites = [[float(a), float(b)] for a, b in pts]
    ranged, vmin, ranges, rangmax = range_sites(sites)
    rows = surface_monomials(ranged[:7], 2)
    out = START + ASK_VARIABLE + ASK_LAYOUT + ASK_DESIGN + ASK_FILE + input_file_line("sites.txt") + \
        ASK_METHOD + RANGING + verbose_ranging(vmin, ranges, rangmax) + ASK_ORDER + \
        monomials_written("var.txt") + END
    rep = BANNER + r_input("sites.txt", 7, 2, 1) + r_matrix("Matrice X", sites) + RANGING + \
        r_matrix("Matrix X after ranging", ranged) + r_order(2) + END
    yield Case("coords-extra-values-verbose", ["rep.txt", "var.txt", "-2", "3", "sites.txt", "2", "2"], out,
               {"rep.txt": rep, "var.txt": writeout(rows, 2, 2)}, inputs={"sites.txt": text})

    # Carriage returns are harmless when every read ends on its own line;
    # a name longer than 30 characters shows its first 30.
    long_name = "coordinates_of_the_sampled_sites_crlf.txt"
    values = ["2.5", "3", "4.5", "7", "10"]
    sites = [[float(v)] for v in values]
    ranged, _, _, _ = range_sites(sites)
    rows = transect_monomials([r[0] for r in ranged], 3)
    out = START + ASK_VARIABLE + ASK_LAYOUT + ASK_DESIGN + ASK_FILE + input_file_line(long_name) + \
        ASK_METHOD + RANGING + ASK_ORDER + monomials_written("var.txt") + END
    rep = BANNER + r_input(long_name, 5, 1, 0) + RANGING + r_order(3) + END
    yield Case("coords-crlf-long-name", ["rep.txt", "var.txt", "3", "3", long_name, "2", "3"], out,
               {"rep.txt": rep, "var.txt": canoco_monomials(rows, 3)},
               inputs={long_name: "5 1 0\r\n" + "".join(v + "\r\n" for v in values)})

    # An infinite coordinate is read as such and not refused: its range is
    # infinite, the ranged value inf/inf is NaN, the mean is NaN, and every
    # monomial is printed as asterisks.
    out = START + ASK_VARIABLE + ASK_LAYOUT + ASK_DESIGN + ASK_FILE + input_file_line("sites.txt") + \
        ASK_METHOD + RANGING + ASK_ORDER + monomials_written("var.txt") + END
    rep = BANNER + r_input("sites.txt", 3, 1, 0) + RANGING + r_order(2) + END
    sites = [[0.0], [1.0], [float("1e999")]]
    ranged, _, _, _ = range_sites(sites)
    yield Case("coords-infinite-coordinate", ["rep.txt", "var.txt", "1", "3", "sites.txt", "2", "2"], out,
               {"rep.txt": rep, "var.txt": writeout(transect_monomials([r[0] for r in ranged], 2), 2, 1)},
               inputs={"sites.txt": "3 1 0\n0\n1\n1e999\n"})

    # Capacity: 1990 + 11 is refused before any site is read (the file
    # holds only its header); 1990 + 10 are all read.
    out = START + ASK_VARIABLE + ASK_LAYOUT + ASK_DESIGN + ASK_FILE + input_file_line("big.txt") + \
        " Too many points (sites). Redimension the program.\n"
    yield Case("coords-1990-plus-11-too-many", ["rep.txt", "var.txt", "1", "3", "big.txt", "2"], out,
               {"rep.txt": BANNER + r_input("big.txt", 1990, 2, 11), "var.txt": ""},
               inputs={"big.txt": "1990 2 11\n"})
    out = START + ASK_VARIABLE + ASK_LAYOUT + ASK_DESIGN + ASK_FILE + input_file_line("big.txt") + ASK_METHOD
    big = "1990 2 10\n" + "".join("%d %d\n" % (i % 50, i // 50) for i in range(2000))
    yield Case("coords-1990-plus-10-accepted", ["rep.txt", "var.txt", "1", "3", "big.txt"], out,
               {"rep.txt": BANNER + r_input("big.txt", 1990, 2, 10), "var.txt": ""},
               inputs={"big.txt": big}, stderr=EOF_KEYBOARD, status="exit 134")


@case
def pcnm_no_variables():
    # A limit of 0 replaces every distance by 4 x 1e-10 (single precision):
    # every eigenvalue is far below the positivity bound, so no variable is
    # kept and the attempt is accepted. Canoco form with no variables keeps
    # the label word on its own line.
    rangmax = 2.0 * f32(0.1)
    thresh = 0.0 / rangmax + f32(1e-10)
    out = START + ASK_VARIABLE + ASK_LAYOUT + ASK_DESIGN + ASK_OBJECTS + ASK_METHOD + RANGING + ASK_LIMIT + \
        "\n Truncation of the distance matrix to the distance" + fedit(thresh * rangmax, 12, 3) + "\n" + \
        " yielded    0 positive eigenvalues.\n" + pcnm_written("var.txt") + computation_time() + END
    rep = (BANNER + R_TRANSECT + RANGING + R_PCNM
           + "    Highest unmodified distance value = " + fedit(thresh * rangmax, 12, 3) + "\n"
           + '    Multiplier for "large distances"  = ' + fedit(4.0, 12, 3) + "\n"
           + "\n\n Sum of positive eigenvalues         " + fedit(0.0, 15, 5)
           + "\n Sum of negative eigenvalues         " + fedit(0.0, 15, 5)
           + "\n Trace of Gower-centred matrix       " + fedit(0.0, 15, 5) + "\n"
           + "\n Number of positive eigenvalues:   0\n\n"
           + " Eigenvalues of the PCoA:\n\n " + fedit(0.0, 12, 6) * 3 + "\n"
           + computation_time() + END)
    var = "File of PCNM variables\nFREE\n 0 3\n\n\n\nPCNM\n" + labels("Site", 3)
    yield Case("pcnm-transect3-limit0-no-variables-canoco", ["rep.txt", "var.txt", "3", "1", "3", "1", "0"], out,
               {"rep.txt": rep, "var.txt": var})


@case
def pcnm_null_limit():
    # A null limit keeps the starting 0, so this is the run above with the
    # diagnostics on and one line per object: three empty value lines.
    sites = transect_sites(3)
    ranged, vmin, ranges, rangmax = range_sites(sites, pcnm=True)
    thresh = 0.0 / rangmax + f32(1e-10)
    out = START + ASK_VARIABLE + ASK_LAYOUT + ASK_DESIGN + ASK_OBJECTS + ASK_METHOD + RANGING + \
        verbose_ranging(vmin, ranges, rangmax) + ASK_LIMIT + free_line(["Bs/rangmax =", thresh]) + \
        "\n Truncation of the distance matrix to the distance" + fedit(thresh * rangmax, 12, 3) + "\n" + \
        " yielded    0 positive eigenvalues.\n" + pcnm_written("var.txt") + computation_time() + END
    rep = (BANNER + R_TRANSECT + RANGING + r_matrix("Matrix X after ranging", ranged) + R_PCNM
           + "    Highest unmodified distance value = " + fedit(thresh * rangmax, 12, 3) + "\n"
           + '    Multiplier for "large distances"  = ' + fedit(4.0, 12, 3) + "\n"
           + "\n\n Sum of positive eigenvalues         " + fedit(0.0, 15, 5)
           + "\n Sum of negative eigenvalues         " + fedit(0.0, 15, 5)
           + "\n Trace of Gower-centred matrix       " + fedit(0.0, 15, 5) + "\n"
           + "\n Number of positive eigenvalues:   0\n\n"
           + " Eigenvalues of the PCoA:\n\n " + fedit(0.0, 12, 6) * 3 + "\n"
           + computation_time() + END)
    yield Case("pcnm-transect3-null-limit-verbose-layout1", ["rep.txt", "var.txt", "-1", "1", "3", "1", "/"], out,
               {"rep.txt": rep, "var.txt": " 3 0\n\n\n\n"})


def write_case(c):
    d = os.path.join(CASES, c.name)
    if os.path.exists(d):
        shutil.rmtree(d)
    os.makedirs(os.path.join(d, "expected.files"))
    put = lambda path, text: open(path, "w", newline="").write(text)
    put(os.path.join(d, "stdin"), c.stdin)
    put(os.path.join(d, "expected.stdout"), c.stdout)
    put(os.path.join(d, "expected.stderr"), c.stderr)
    put(os.path.join(d, "expected.status"), c.status + "\n")
    for name, text in c.files.items():
        put(os.path.join(d, "expected.files", name), text)
    if c.inputs:
        os.makedirs(os.path.join(d, "input.files"))
        for name, text in c.inputs.items():
            put(os.path.join(d, "input.files", name), text)


def main():
    names = set()
    for make in CASES_LIST:
        for c in make():
            assert c.name not in names, c.name
            names.add(c.name)
            write_case(c)
    print("%d cases written" % len(names), file=sys.stderr)


if __name__ == "__main__":
    main()
