// The accelerated-point package of one straight move, computed from plain numbers: shared by the translation of the printer's dialect and of other flavours.
#pragma once

#include "PackagePayload.h"

namespace zelk {

// The machine's constants a move is computed with, per axis X, Y, Z, A, B.
struct MoveConstants {
    double stepsPerMM[5] = {};
    double maxFeedrate[5] = {};
};

// The length of the move from current to target over the five axes, summed
// as CPoint5D::magnitude() sums it; a move whose length is not above 0
// gives no package.
double MoveLength(const double current[5], const double target[5]);

// The package (command 155) of the move from current to target (X, Y, Z and
// the filament A in millimetres, B), `length` from MoveLength, at `feedrate`
// mm/min (the machine's feedrate; 0: the fastest any axis allows), lowered
// so that no axis passes its own limit. Every step in the order of the
// original five-axis arithmetic, so the bytes do not change.
void WriteMovePayload(const MoveConstants& constants, const double current[5], const double target[5], double length,
                      double feedrate, PackagePayload& out);

}  // namespace zelk
