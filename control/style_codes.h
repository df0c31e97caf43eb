// Style codes and the style table.
#pragma once
#include <cstdint>
#include "control/show.h"

// Rows 30 to 44 from the generator: (r1 without bit 12) | (r2 << 16).
void FillRandomStyles(Show& show);
void ApplyStyle(Show& show, StyleCode code);
void ChooseRandomStyle(Show& show);
// turnDegrees, turnSin and turnCos from gravity.
void DeriveTurn(ShowParams& params);
