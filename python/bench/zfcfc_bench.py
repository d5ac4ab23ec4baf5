"""preisach.zfcfc(p) from Python against the same computation in C++
(zfcfc_bench): the fastest of many calls on each side (the least disturbed
by other work on a shared machine), in rounds that alternate the two.

    PYTHONPATH=build-py/python/package /usr/bin/python3 python/bench/zfcfc_bench.py \\
        build-py/python/zfcfc_bench Magnetism/Parameters.txt
"""

import subprocess
import sys
import time

import preisach


def fastest_ms(call, repeats):
    times = []
    for _ in range(repeats):
        begin = time.perf_counter()
        call()
        times.append((time.perf_counter() - begin) * 1e3)
    return min(times)


def main(bench, path, repeats=200, rounds=5):
    p = preisach.Parameters.from_file(path)
    for model in ("continuum", "grid"):
        cpp_ms, py_ms = [], []
        for _ in range(rounds):
            out = subprocess.run([bench, path, model, str(repeats)], capture_output=True, text=True,
                                 check=True).stdout
            cpp_ms.append(float(out.split("fastest ")[1].split(" ms")[0]))
            py_ms.append(fastest_ms(lambda: preisach.zfcfc(p, model=model), repeats))
        print("zfcfc (%s): C++ %.4f ms, Python %.4f ms (fastest of %d calls): Python %+.1f %%"
              % (model, min(cpp_ms), min(py_ms), rounds * repeats, 100 * (min(py_ms) / min(cpp_ms) - 1)))


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
