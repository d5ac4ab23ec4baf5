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

# The record of Magnetism/Parameters.txt, for the titles: its first 24 words.
params = ""
if (file_found(path("Parameters.txt"))) {
    params = windows ? system('type "' . path("Parameters.txt") . '"') : system("cat '" . path("Parameters.txt") . "'")
}
param(n) = words(params) >= n ? word(params, n) : "?"
shape = param(12) eq "G" ? "Gaussian (G)" : param(12) eq "L" ? "Lorentzian (L)" : \
        param(12) eq "M" ? "Lorentzian x exp (M)" : param(12) eq "N" ? "exp x Lorentzian (N)" : param(12)
ensemble = sprintf("%s; hc0 = %s Oe, sigma_c0 = %s Oe, sigma_i0 = %s Oe, km = %s Oe, mu0 = %s emu, m = %s", \
                   shape, param(4), param(6), param(8), param(10), param(2), param(13))

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
            undefine STATS_*
            stats f using (1) nooutput
            if (!exists("STATS_records")) {
                print f . ": no row in the file; no picture drawn"
            } else {
                total = STATS_records
                n = columns[k]
                stats f using (allvalid(n) ? 1 : 0) nooutput
                good = int(STATS_sum)
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

# ZFC and FC moments, with the blocking temperature at the ZFC maximum.
if (ok[1]) {
    f = path("ZFCFCbc.txt")
    stats f using 1:2 nooutput name "ZFC"
    set output path("ZFCFC.png")
    set title sprintf("ZFC/FC magnetisation in ha = %s Oe\n%s", param(16), ensemble) noenhanced
    set xlabel "T (K)"
    set ylabel "M (emu)"
    set key top right
    set arrow 1 from ZFC_pos_max_y, graph 0 to ZFC_pos_max_y, graph 1 nohead dashtype 2 linecolor rgb "gray40"
    set label 1 sprintf("T_B = %g K", ZFC_pos_max_y) at ZFC_pos_max_y, graph 0.06 offset 1,0 enhanced
    plot f using 1:2 with linespoints pointtype 7 pointsize 0.6 linewidth 2 title "ZFC", \
         f using 1:3 with linespoints pointtype 5 pointsize 0.6 linewidth 2 title "FC"
    unset arrow 1
    unset label 1
    print "wrote " . path("ZFCFC.png")
}

# The nine partial integrals behind the curves.
if (ok[2]) {
    f = path("separatebc.txt")
    array parts[9] = ["band 1 superparamagnetic (11SP)", "band 2 superparamagnetic (22SP)", \
                      "band 1 saturated up (1p)", "band 1 saturated down (1m)", \
                      "band 2 saturated up (2p)", "band 2 saturated down (2m)", \
                      "band 3 blocked up, ZFC (3pZFC)", "band 3 blocked down, ZFC (3mZFC)", \
                      "band 3 blocked, FC, up - down (3pFC)"]
    set output path("separate.png")
    set title sprintf("Partial integrals of the ZFC/FC curves in ha = %s Oe\n%s", param(16), ensemble) noenhanced
    set xlabel "T (K)"
    set ylabel "partial integral (emu / Norm\\_coeff)"
    set key outside right top
    plot for [k = 2:10] f using 1:k with linespoints pointsize 0.5 linewidth 1.5 title parts[k - 1]
    set key inside top right
    print "wrote " . path("separate.png")
}

# The loop: both branches of M, and the irreversible and reversible parts.
if (ok[3]) {
    f = path("momentbc.txt")
    half = nrows[3] / 2
    set output path("hysteresis.png")
    set title sprintf("Hysteresis loop at T = %s K, f = %s, s = %s Oe, lambda = %s Oe\n%s", \
                      param(19), param(23), param(21), param(22), ensemble) noenhanced
    set xlabel "applied field (Oe)"
    set ylabel "M (emu)"
    set key bottom right
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
    print "wrote " . path("hysteresis.png")
}

# The density over the (hc, hi) plane, its maximum marked.
if (ok[4]) {
    f = path("PDFbc.txt")
    stats f using 3 nooutput name "RHO"
    peak = int(RHO_index_max)
    stats f every ::peak::peak using 1 nooutput name "PEAKHC"
    stats f every ::peak::peak using 2 nooutput name "PEAKHI"
    # Zoom onto where the density is above a thousandth of its peak.
    cut = RHO_max * 1e-3
    stats f using ($3 > cut ? $1 : NaN) nooutput name "HC"
    stats f using ($3 > cut ? $2 : NaN) nooutput name "HI"
    padc = (HC_max - HC_min) * 0.25 + 1e-9
    padi = (HI_max - HI_min) * 0.25 + 1e-9
    set xrange [HC_min - padc:HC_max + padc]
    set yrange [HI_min - padi:HI_max + padi]
    set output path("density.png")
    set title sprintf("Preisach density at T = %s K over the loop's grid\n%s", param(19), ensemble) noenhanced
    set xlabel "h_c (Oe)" enhanced
    set ylabel "h_i (Oe)" enhanced
    set cblabel "density (1/Oe^2)" enhanced
    set key top right
    set palette rgbformulae 33,13,10
    set label 2 sprintf("peak (%.4g, %.4g) Oe", PEAKHC_min, PEAKHI_min) at PEAKHC_min, PEAKHI_min \
        front point pointtype 2 pointsize 2 linecolor rgb "black" offset 1.5,1 textcolor rgb "black"
    plot f using 1:2:3 with image notitle
    unset label 2
    set autoscale xy
    print "wrote " . path("density.png")
}
