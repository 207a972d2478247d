(sliced) G21
G90 (absolute)
G1 X1 Y2 Z3 F600 (first move)
; end
