// Sine and cosine of the whole degrees 0 to 359, built with pi taken as
// 3.14159 (so CosTable[90] is about 1.33e-06, not 0).
#pragma once

struct AngleTables {
    float SinTable[360];
    float CosTable[360];
};

void BuildAngleTables(AngleTables& tables);
