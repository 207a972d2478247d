#!/usr/bin/env bash
# Makes the four background pictures of the 3D view (vertical gradients,
# 64 x 64, 24-bit BMP): 1 gray, 2 light blue, 3 dark blue, 4 sand.
# The pictures are kept in the repository; run this only to change them.
set -euo pipefail
cd "$(dirname "$0")"
make_one() {
  convert -size 64x64 "gradient:$2-$3" -type TrueColor -define bmp:format=bmp3 "BMP3:$1.bmp"
}
make_one 1 '#dcdcdc' '#8a8a8a'
make_one 2 '#eaf4ff' '#9fc3e6'
make_one 3 '#2a4f86' '#0a1730'
make_one 4 '#f4ead6' '#c4ad86'
