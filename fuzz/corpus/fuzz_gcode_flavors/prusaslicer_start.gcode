
; 

; external perimeters extrusion width = 0.45mm
; perimeters extrusion width = 0.45mm
; infill extrusion width = 0.45mm
; solid infill extrusion width = 0.45mm
; top infill extrusion width = 0.40mm
; first layer extrusion width = 0.70mm

M107
M104 S200 ; set temperature
;TYPE:Custom
G28 ; home all axes
G1 Z5 F5000 ; lift nozzle
M109 S200 ; set temperature and wait for it to be reached
G21 ; set units to millimeters
G90 ; use absolute coordinates
M83 ; use relative distances for extrusion
; Filament gcode
M107
;LAYER_CHANGE
;Z:0.35
;HEIGHT:0.35
G1 Z.35 F7800
G92 E0
G1 E-2 F2400
G1 X16.625 Y0 F7800
G1 E2 F2400
;TYPE:Skirt/Brim
;WIDTH:0.7
G1 F1800
G1 X16.625 Y10 E.9093
G1 X16.228 Y12.259 E.20854
G1 X15.085 Y14.247 E.20854
G1 X13.332 Y15.726 E.20854
G1 X11.18 Y16.519 E.20854
G1 X10 Y16.625 E.10771
G1 X-10 Y16.625 E1.81859
