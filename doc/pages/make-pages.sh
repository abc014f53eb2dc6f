#!/usr/bin/env bash
# make-pages.sh BUILD NANCYCATS: the pictures of results pages in doc/, made
# with the built program (BUILD/hwmc) from three data sets:
# - a made-up cattle study of 15 breeds x 30 loci (make-cattle.py);
# - the cats of 17 colonies of Nancy, 9 microsatellites (NANCYCATS, a
#   Genepop file of the public nancycats data set);
# - a VCF of 400 made-up samples in two populations and 29 400 sites on
#   three chromosomes (scripts/make-vcf.py);
# and, as before, the example of the README and the page library's demo
# (BUILD/tests/html_page_sample demo). Each page is shot in headless
# Chromium in a window 1300 pixels wide (its whole height), and printed to
# an A4 PDF whose first page is kept as a PNG. Needs chromium, ghostscript
# and python3-pil.
set -euo pipefail
build=$(realpath "$1")
nancycats=$(realpath "$2")
here=$(cd "$(dirname "$0")" && pwd)
doc=$(dirname "$here")
root=$(dirname "$doc")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
ln -s "$build/hwmc" "$work/bin/hwmc"
export PATH="$work/bin:$PATH" TZ=UTC
cd "$work"

"$here/make-cattle.py" > cattle.gen
cp "$nancycats" nancycats.gen
{
  "$root/scripts/make-vcf.py" 400 12000 600 3 |
    sed 's/^##contig=<ID=1,\(.*\)$/##contig=<ID=1,\1\n##contig=<ID=2,length=243199373>\n##contig=<ID=3,length=198022430>/'
  "$root/scripts/make-vcf.py" 400 9000 450 4 | grep -v '^#' | sed 's/^1\t/2\t/'
  "$root/scripts/make-vcf.py" 400 7000 350 5 | grep -v '^#' | sed 's/^1\t/3\t/'
} > sites.vcf
for i in $(seq 1 400); do
  if ((i <= 200)); then echo "S$i north"; else echo "S$i south"; fi
done > pops.txt
cp "$root/examples/sample.gen" sample.gen

hwmc --batch --genepop --exact --seed 7 --summary cattle-summary.tsv --html cattle.html cattle.gen > cattle.tsv
hwmc --batch --genepop --exact --seed 7 --summary nancycats-summary.tsv --html nancycats.html nancycats.gen \
  > nancycats.tsv
hwmc --vcf --pops pops.txt --exact --seed 7 --html sites.html sites.vcf > sites.tsv
hwmc --batch --genepop --exact --seed 7 --summary sample-summary.tsv --html sample.html sample.gen > sample.tsv
"$build/tests/html_page_sample" demo demo.html

chrome() {
  chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync --hide-scrollbars \
    --user-data-dir="$work/profile" "$@" 2>/dev/null
}

# The height of a page's content at 1300 pixels, read back from the DOM.
page_height() {
  sed 's|</body>|<script>document.body.dataset.h = document.documentElement.scrollHeight;</script></body>|' \
    "$1" > measure.html
  chrome --window-size=1300,1000 --dump-dom "file://$work/measure.html" | grep -o 'data-h="[0-9]*"' | tr -dc 0-9
}

# A picture of at most 256 colours, a third of the bytes: libimagequant
# (when PIL has it) keeps the scales' gradients smooth.
small_png() {
  /usr/bin/python3 -c "
import sys
from PIL import Image, features
method = Image.Quantize.LIBIMAGEQUANT if features.check_feature('libimagequant') else None
im = Image.open(sys.argv[1]).convert('RGB')
im.quantize(256, method=method, dither=Image.Dither.FLOYDSTEINBERG).save(sys.argv[2], optimize=True)
" "$1" "$2"
}

shoot() {  # PAGE NAME [HEIGHT]
  local height=${3:-$(page_height "$1")}
  chrome --window-size=1300,"$height" --screenshot="$work/$2.png" "file://$work/$1"
  small_png "$2.png" "$doc/$2.png"
}

print_a4() {  # PAGE NAME
  sed 's|</style>|@page{size:A4}</style>|' "$1" > a4.html
  chrome --no-pdf-header-footer --print-to-pdf="$work/$2.pdf" "file://$work/a4.html"
  gs -q -dNOPAUSE -dBATCH -sDEVICE=png16m -r110 -dFirstPage=1 -dLastPage=1 -sOutputFile="$2-1.png" "$2.pdf"
  small_png "$2-1.png" "$doc/$2-a4.png"
}

shoot cattle.html cattle-page
shoot nancycats.html nancycats-page
shoot sites.html vcf-page
shoot sample.html sample-page
shoot demo.html results-page
print_a4 cattle.html cattle-page
print_a4 nancycats.html nancycats-page
print_a4 sites.html vcf-page
cp cattle-page.pdf "$doc/cattle-page-a4.pdf"
