#!/usr/bin/env bash
# make-vcf-bench.sh DIR [SAMPLES BIALLELIC MULTIALLELIC SEED]: writes the
# VCF benchmark's files into DIR: sites.vcf.gz with its .tbi, and, when
# bcftools is installed, sites.bcf with its .csi. Without arguments after DIR
# the file is 2000 samples x 20000 biallelic + 2000 multi-allelic sites.
set -euo pipefail
dir=${1:?usage: make-vcf-bench.sh DIR [SAMPLES BIALLELIC MULTIALLELIC SEED]}
shift
here=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$dir"
command -v bgzip >/dev/null && command -v tabix >/dev/null ||
  { echo "make-vcf-bench.sh needs bgzip and tabix (Debian package tabix)" >&2; exit 1; }
python3 "$here/scripts/make-vcf.py" "$@" | bgzip -c > "$dir/sites.vcf.gz"
tabix -f -p vcf "$dir/sites.vcf.gz"
if command -v bcftools >/dev/null; then
  bcftools view -Ob -o "$dir/sites.bcf" "$dir/sites.vcf.gz"
  bcftools index -f "$dir/sites.bcf"
else
  echo "bcftools is not installed: no BCF file made" >&2
fi
ls -l "$dir"
