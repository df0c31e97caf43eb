// Sine and cosine of every whole degree, with pi taken as 3.14159.
#include "engine/angle_tables.h"

#include <cmath>

void BuildAngleTables(AngleTables& tables) {
    for (int i = 0; i < 360; ++i) {
        const double a = double(2 * i) * 0.00872663888888889;
        tables.SinTable[i] = float(std::sin(a));
        tables.CosTable[i] = float(std::cos(a));
    }
}
