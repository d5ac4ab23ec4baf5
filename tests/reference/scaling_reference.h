#pragma once

namespace preisach::reference {

// X0 * (1 - T/Tc)^exponent: the reduced temperature in extended precision,
// handed to the library's pow as a float64, the product rounded once to
// float32. The oracle's own copy of the temperature law.
float scaledParameter(float T, float Tc, float X0, float exponent);

}  // namespace preisach::reference
