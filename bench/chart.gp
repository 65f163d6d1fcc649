# Per-address cost by case, Tobrik beside its peers, on a log scale.
# Usage: gnuplot -e "data='per-address.dat'; out='per-address.png'" chart.gp
set terminal pngcairo size 1000,560 font "sans,10"
set output out
set title "Cost of one address (median, ms, log scale) - same lab, same run\n{/*0.85 nmap sends no packet to loopback (it reports it up unprobed); fping and nmap: run time / addresses}"
set style data histogram
set style histogram clustered gap 1
set style fill solid 0.85 border -1
set boxwidth 0.9
set logscale y
set yrange [0.001:5000]
set format y "%g"
set ylabel "ms per address"
set grid ytics
set key outside bottom center horizontal
set datafile missing "NaN"
plot data using 2:xtic(1) title "Tobrik" lc rgb "#1f77b4", \
     '' using 3 title "fping -c1 -t500" lc rgb "#ff7f0e", \
     '' using 4 title "fping -c1 -t500 -r0" lc rgb "#ffbb78", \
     '' using 5 title "nmap -sn -PE -n --send-ip" lc rgb "#2ca02c", \
     '' using 6 title "ping -c1 -W1 loop" lc rgb "#d62728"
