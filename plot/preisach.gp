# Pictures of the result files of preisach. Run it from the folder above
# Magnetism/:
#     gnuplot path/to/plot/preisach.gp
# Each result file found in Magnetism/ gives a PNG beside it:
#     ZFCFCbc.txt    -> ZFCFC.png       ZFC and FC moments against T, blocking temperature marked
#     separatebc.txt -> separate.png    the nine partial integrals against T
#     momentbc.txt   -> hysteresis.png  the loop, both branches, with its two parts
#     PDFbc.txt      -> density.png     the density over the (hc, hi) plane
# A missing file is skipped with a note; an empty or malformed one is named
# with what is wrong, and its picture is not drawn.

dir = "Magnetism"
path(name) = dir . "/" . name
windows = strstrt(GPVAL_SYSNAME, "Windows") > 0 || strstrt(GPVAL_SYSNAME, "windows") > 0

# File tests through the system's shell: gnuplot itself has none.
file_found(f) = windows ? int(system('if exist "' . f . '" (echo 1) else (echo 0)')) \
                    : int(system("test -f '" . f . "' && echo 1 || echo 0"))
file_bytes(f) = windows ? int(system('for %I in ("' . f . '") do @echo %~zI')) \
                   : int(system("wc -c < '" . f . "'"))

# The record in force of Magnetism/Parameters.txt, for the titles: the first
# 24 words of its last line that holds 24 values (a file of one record per
# line), with T_max and T_hyst lowered to Tc - 10 as the program lowers them.
params = ""
if (file_found(path("Parameters.txt"))) {
    params = windows ? system('type "' . path("Parameters.txt") . '"') \
                     : system("awk 'NF >= 24 { last = $0 } END { print last }' '" . path("Parameters.txt") . "'")
}
param(n) = words(params) >= n ? word(params, n) : "?"
below_Tc(n) = (words(params) >= n && real(param(n)) >= real(param(1))) ? sprintf("%g", real(param(1)) - 10) : param(n)
T_max = below_Tc(17)
T_hyst = below_Tc(19)
shape = param(12) eq "G" ? "Gaussian (G)" : param(12) eq "L" ? "Lorentzian (L)" : \
        param(12) eq "M" ? "Lorentzian x exp (M)" : param(12) eq "N" ? "exp x Lorentzian (N)" : param(12)
ensemble = sprintf("%s; hc0 %s, sigma_c0 %s, sigma_i0 %s, km %s Oe; mu0 %s emu; m = %s", \
                   shape, param(4), param(6), param(8), param(10), param(2), param(13))

# A picture describes the run that made its file: when the parameter file
# was edited after that run, its values would describe another run, and the
# title says so instead of showing them. (No file times on Windows.)
edited_after(f) = windows ? 0 : \
    int(system("find '" . path("Parameters.txt") . "' -newer '" . f . "' 2>/dev/null | grep -c . || true"))
stale_note(f) = sprintf("parameters changed since this run (Parameters.txt is newer than %s)", f[strlen(dir) + 2:])
describe(f, values, sep) = edited_after(f) ? stale_note(f) : values . sep . ensemble

set terminal pngcairo size 1000,700 enhanced font "Sans,11"
set grid
set key noenhanced

# Each result file is checked before it is drawn: ok[k] = 1 when it holds
# rows of at least columns[k] numbers, and nrows[k] is its row count.
array files[4] = ["ZFCFCbc.txt", "separatebc.txt", "momentbc.txt", "PDFbc.txt"]
array columns[4] = [3, 10, 4, 3]
array ok[4]
array nrows[4]
allvalid(n) = valid(1) && (n < 2 || valid(2)) && (n < 3 || valid(3)) && (n < 4 || valid(4)) && (n < 10 || valid(10))
do for [k = 1:4] {
    f = path(files[k])
    ok[k] = 0
    if (!file_found(f)) {
        print f . ": not found, skipped"
    } else {
        if (file_bytes(f) <= 0) {
            print f . ": the file is empty; no picture drawn"
        } else {
            n = columns[k]
            if (windows) {
                undefine STATS_*
                stats f using (1) nooutput
                total = exists("STATS_records") ? STATS_records : 0
                if (total > 0) {
                    stats f using (allvalid(n) ? 1 : 0) nooutput
                    good = int(STATS_sum)
                }
            } else {
                # awk reads a large map in a fraction of the time gnuplot takes.
                counts = system(sprintf("awk -v n=%d 'NF == 0 { next } { total++; ok = NF >= n; " . \
                    "for (i = 1; i <= n && ok; i++) ok = $i ~ /^[-+]?([0-9]+[.]?[0-9]*|[.][0-9]+)([eE][-+]?[0-9]+)?$/; " . \
                    "good += ok } END { print total + 0, good + 0 }' '%s'", n, f))
                total = int(word(counts, 1))
                good = int(word(counts, 2))
            }
            if (total == 0) {
                print f . ": no row in the file; no picture drawn"
            } else {
                if (good < total) {
                    print sprintf("%s: malformed, %d of its %d rows do not hold %d numbers; no picture drawn", \
                                  f, total - good, total, n)
                } else {
                    ok[k] = 1
                    nrows[k] = total
                }
            }
        }
    }
}

# ZFC and FC moments. The blocking temperature is marked at the ZFC
# maximum only when that maximum lies inside the sweep: a ZFC curve that
# only rises or only falls has none.
if (ok[1]) {
    f = path("ZFCFCbc.txt")
    stats f using 1:2 nooutput name "ZFC"
    interior = ZFC_index_max_y > 0 && ZFC_index_max_y < ZFC_records - 1
    set output path("ZFCFC.png")
    head = "ZFC/FC magnetisation"
    values = sprintf("ha = %s Oe, T_max = %s K", param(16), T_max)
    set title head . "\n" . describe(f, values, "\n") noenhanced
    set xlabel "T (K)"
    set ylabel "M (emu)"
    set key top right
    if (interior) {
        set arrow 1 from ZFC_pos_max_y, graph 0 to ZFC_pos_max_y, graph 1 nohead dashtype 2 linecolor rgb "gray40"
        set label 1 sprintf("T_B = %g K", ZFC_pos_max_y) at ZFC_pos_max_y, graph 0.06 offset 1,0 enhanced
    }
    plot f using 1:2 with linespoints pointtype 7 pointsize 0.6 linewidth 2 title "ZFC", \
         f using 1:3 with linespoints pointtype 5 pointsize 0.6 linewidth 2 title "FC"
    unset arrow 1
    unset label 1
    print "wrote " . path("ZFCFC.png") . ": " . head . ": " . describe(f, values, "; ")
}

# The nine partial integrals behind the curves, each in a style of its own:
# a colour per band, a dash pattern and point per kind of region.
if (ok[2]) {
    f = path("separatebc.txt")
    array parts[9] = ["11SP: band 1, superparamagnetic", "22SP: band 2, superparamagnetic", \
                      "1p: band 1, saturated up", "1m: band 1, saturated down", \
                      "2p: band 2, saturated up", "2m: band 2, saturated down", \
                      "3pZFC: band 3, blocked up (ZFC)", "3mZFC: band 3, blocked down (ZFC)", \
                      "3pFC: band 3, blocked, up - down (FC)"]
    array colour[9] = ["#1b9e77", "#66a61e", "#1b9e77", "#1b9e77", "#66a61e", "#66a61e", "#d95f02", "#d95f02", "#7570b3"]
    array dash[9] = [1, 1, 2, 3, 2, 3, 2, 3, 1]
    array point[9] = [7, 5, 9, 11, 8, 10, 13, 12, 6]
    set output path("separate.png")
    head = "Partial integrals of the ZFC/FC curves"
    values = sprintf("ha = %s Oe, T_max = %s K", param(16), T_max)
    set title head . "\n" . describe(f, values, "\n") noenhanced
    set xlabel "T (K)"
    set ylabel "partial integral before the factor Norm\\_coeff (emu / Norm\\_coeff)"
    set format y "%.1te%+T"
    set key outside bottom center horizontal maxrows 3 width -2 font ",10"
    set bmargin 9
    plot for [k = 2:10] f using 1:k with linespoints linewidth 2 linecolor rgb colour[k - 1] dashtype dash[k - 1] \
         pointtype point[k - 1] pointsize 0.6 pointinterval 3 title parts[k - 1]
    set key inside top right
    unset bmargin
    set format y "% h"
    print "wrote " . path("separate.png") . ": " . head . ": " . describe(f, values, "; ")
}

# The loop: both branches of M, and the irreversible and reversible parts.
if (ok[3]) {
    f = path("momentbc.txt")
    half = nrows[3] / 2
    set output path("hysteresis.png")
    head = "Hysteresis loop"
    values = sprintf("T = %s K, f = %s, s = %s Oe, lambda = %s Oe", T_hyst, param(23), param(21), param(22))
    set title head . "\n" . describe(f, values, "\n") noenhanced
    set xlabel "applied field (Oe)"
    set ylabel "M (emu)"
    set key top left box opaque
    set xzeroaxis
    set yzeroaxis
    plot f every ::0::(half - 1) using 1:2 with linespoints pointtype 7 pointsize 0.5 linewidth 2.5 \
           title "M, descending branch", \
         f every ::half using 1:2 with linespoints pointtype 5 pointsize 0.5 linewidth 2.5 \
           title "M, ascending branch", \
         f using 1:3 with lines linewidth 1 dashtype 2 title "(1 - f) M_irr, irreversible part", \
         f using 1:4 with lines linewidth 1 dashtype 3 title "f M_rev, reversible part"
    unset xzeroaxis
    unset yzeroaxis
    set key nobox noopaque
    print "wrote " . path("hysteresis.png") . ": " . head . ": " . describe(f, values, "; ")
}

# The density over the (hc, hi) plane as PDFbc.txt holds it (the amplitude
# N, before the factor Norm_coeff), its maximum marked, at the resolution of
# the grid. A large map is drawn from every k-th row and column, and the
# picture says so.
if (ok[4]) {
    f = path("PDFbc.txt")
    drawn = f
    if (windows) {
        stats f using 3 nooutput name "RHO"
        rhoMax = RHO_max
        peak = int(RHO_index_max)
        stats f every ::peak::peak using 1 nooutput name "PEAKHC"
        stats f every ::peak::peak using 2 nooutput name "PEAKHI"
        peakHc = PEAKHC_min
        peakHi = PEAKHI_min
        cut = rhoMax * 1e-2
        stats f using ($3 > cut ? $1 : NaN) nooutput name "HC"
        stats f using ($3 > cut ? $2 : NaN) nooutput name "HI"
        hcLow = HC_min
        hcHigh = HC_max
        hiLow = HI_min
        hiHigh = HI_max
        k = 1
    } else {
        # One pass for the grid (the rows of a column) and the peak, one to
        # write every k-th row and column of a large map to a small file and
        # find where the density is above a hundredth of its peak.
        # (Every field is made a number first: mawk compares a subnormal
        # value such as 9.99e-321 as a string.)
        grid = system("awk '{ h = $1 + 0; v = $3 + 0 } NR == 1 { first = h } h == first { rows++ } NR == 1 || v > max { max = v; hc = $1; hi = $2 } " . \
                      "END { printf \"%d %d %.17g %.17g %.17g\", rows, NR, max, hc, hi }' '" . f . "'")
        rows = int(word(grid, 1))
        columns = int(word(grid, 2)) / rows
        rhoMax = real(word(grid, 3))
        peakHc = real(word(grid, 4))
        peakHi = real(word(grid, 5))
        k = 1
        while ((columns / k) * (rows / k) > 200000) { k = k + 1 }
        drawn = system("mktemp")
        live = system(sprintf("awk -v rows=%d -v k=%d -v cut=%.17g -v out='%s' " . \
            "'{ i = int((NR - 1) / rows); j = (NR - 1) %% rows; if (i %% k == 0 && j %% k == 0) print > out; " . \
            "x = $1 + 0; y = $2 + 0; if ($3 + 0 > cut) { if (!n++) { a = b = x; c = d = y } if (x < a) a = x; if (x > b) b = x; " . \
            "if (y < c) c = y; if (y > d) d = y } } END { printf \"%%.17g %%.17g %%.17g %%.17g\", a, b, c, d }' '%s'", \
            rows, k, rhoMax * 1e-2, drawn, f))
        hcLow = real(word(live, 1))
        hcHigh = real(word(live, 2))
        hiLow = real(word(live, 3))
        hiHigh = real(word(live, 4))
    }
    padc = (hcHigh - hcLow) * 0.25 + 1e-9
    padi = (hiHigh - hiLow) * 0.25 + 1e-9
    set xrange [(hcLow - padc > 0 ? hcLow - padc : 0):hcHigh + padc]
    set yrange [hiLow - padi:hiHigh + padi]
    set output path("density.png")
    every_note = k > 1 ? sprintf(" (one node in %d along each axis drawn)", k) : ""
    head = "Preisach density over the loop's grid" . every_note
    values = sprintf("T = %s K", T_hyst)
    set title head . "\n" . describe(f, values, "\n") noenhanced
    set xlabel "h_c (Oe)" enhanced
    set ylabel "h_i (Oe)" enhanced
    set cblabel "density as in PDFbc.txt (amplitude N; times Norm_coeff it integrates to N)" noenhanced
    set format cb "%.2g"
    set rmargin 14
    set key top right
    set palette rgbformulae 33,13,10
    set cbrange [0:rhoMax]
    set label 2 sprintf("peak (%.4g, %.4g) Oe", peakHc, peakHi) at peakHc, peakHi \
        front point pointtype 2 pointsize 2 linecolor rgb "black" offset 1.5,1 textcolor rgb "black"
    plot drawn using 1:2:3 with image notitle
    if (drawn ne f) { system("rm -f '" . drawn . "'") }
    unset label 2
    unset rmargin
    set autoscale xy
    print "wrote " . path("density.png") . ": " . head . ": " . describe(f, values, "; ")
}
