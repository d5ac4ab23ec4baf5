// libFuzzer target: the readers of measured curves (plain columns and
// magnetometer files) on any bytes, through their in-memory entry points.
// Besides the sanitizers' checks, every input must give curves of finite
// numbers whose columns have one length each, a branch flag per loop point,
// or a refusal of one printable line naming the file.

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_checks.h"
#include "measured/measured_data.h"

namespace {

using preisach::fuzz::check;
using preisach::fuzz::checkFinite;
using preisach::measured::Curve;

void checkCurve(const Curve& curve) {
  check(curve.size() > 0);
  check(curve.moment.size() == curve.size() && curve.line.size() == curve.size());
  check(curve.error.empty() || curve.error.size() == curve.size());
  checkFinite(curve.x);
  checkFinite(curve.moment);
  checkFinite(curve.error);
  for (int line : curve.line) check(line >= 1);
}

template <typename Read>
void readOrRefuse(Read read) {
  try {
    read();
  } catch (const preisach::measured::DataError& e) {
    preisach::fuzz::checkRefusal(e.what(), "input");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace preisach::measured;
  const std::string text(reinterpret_cast<const char*>(data), size);
  readOrRefuse([&] {
    const ZfcFcData d = readZfcFcText("input", text);
    checkCurve(d.zfc);
    checkCurve(d.fc);
    check(!d.field || std::isfinite(*d.field));
  });
  readOrRefuse([&] { checkCurve(readTemperatureCurveText("input", text)); });
  readOrRefuse([&] {
    const LoopData d = readLoopText("input", text);
    checkCurve(d.loop);
    check(d.descending.size() == d.loop.size());
  });
  return 0;
}
