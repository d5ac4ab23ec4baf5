#pragma once

#include <string>

namespace preisach::parameters {

// The fixed folder of the parameter file and the four result files:
// C:\Magnetism on Windows, Magnetism below the working directory elsewhere.
#ifdef _WIN32
inline constexpr char kDataDirectory[] = "C:\\Magnetism";
#else
inline constexpr char kDataDirectory[] = "Magnetism";
#endif

inline constexpr char kParameterFileName[] = "Parameters.txt";
inline constexpr char kZfcFcFileName[] = "ZFCFCbc.txt";
inline constexpr char kSeparateFileName[] = "separatebc.txt";
inline constexpr char kDensityMapFileName[] = "PDFbc.txt";
inline constexpr char kMomentFileName[] = "momentbc.txt";

// kDataDirectory joined with a file name by the platform's separator.
std::string dataFilePath(const char* fileName);

}  // namespace preisach::parameters
