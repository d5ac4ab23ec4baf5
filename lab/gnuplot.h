#pragma once

#include <optional>
#include <string>
#include <vector>

namespace preisach::lab {

// A file a gnuplot script reads: the script names it only through the
// gnuplot string variable `variable`, never by its own name.
struct GnuplotInput {
  std::string variable;
  std::string content;
};

// Whether gnuplot can be run.
bool haveGnuplot();

// `text` as a gnuplot single-quoted string literal (a quote doubled), so
// that no text can end the string and run commands.
std::string gnuplotQuoted(const std::string& text);

// Draws a PNG with gnuplot. `script` must write to the file named by the
// string variable `picture` and read each input through its variable: the
// inputs are written to fixed names in a private temporary folder where
// gnuplot runs, and the variables are set with -e, so no name a user chose
// ever reaches gnuplot. Returns the picture's bytes (for a ResultSet), or
// nothing, with one note on standard error, when gnuplot is missing or
// fails.
std::optional<std::string> drawPng(const std::string& script, const std::vector<GnuplotInput>& inputs);

}  // namespace preisach::lab
