"""A scan of 10 000 parameter sets of a parameter file (continuum ZFC/FC
curves, hc0_mean x sigmac0 on a 100 x 100 grid) on a LocalCluster of one
worker and of two: sets per second and the ratio.

    PYTHONPATH=build-py/python/package /usr/bin/python3 python/bench/scan_bench.py Magnetism/Parameters.txt
"""

import sys
import time

import numpy as np

import preisach


def rate(p, grid, workers):
    from dask.distributed import Client, LocalCluster
    with LocalCluster(n_workers=workers, threads_per_worker=1, processes=True, dashboard_address=None,
                      host="127.0.0.1") as cluster, Client(cluster) as client:
        client.submit(lambda: 0).result()  # the workers up before the clock starts
        cpu = sum(client.run(time.process_time).values())
        begin = time.perf_counter()
        result = preisach.scan(p, grid, client=client, progress=False)
        seconds = time.perf_counter() - begin
        cpu = sum(client.run(time.process_time).values()) - cpu
    sets = result["zfc"].shape[0] * result["zfc"].shape[1]
    return result, sets / seconds, seconds, sets / cpu


def main(path):
    p = preisach.Parameters.from_file(path)
    grid = {"hc0_mean": np.linspace(150.0, 450.0, 100), "sigmac0": np.linspace(10.0, 100.0, 100)}
    one, r1, s1, c1 = rate(p, grid, 1)
    two, r2, s2, c2 = rate(p, grid, 2)
    assert np.array_equal(one["zfc"], two["zfc"]) and np.array_equal(one["fc"], two["fc"])
    print("scan of 10000 sets: 1 worker %.1f s (%.0f sets/s), 2 workers %.1f s (%.0f sets/s): %.2fx"
          % (s1, r1, s2, r2, r2 / r1))
    # Sets per second of the workers' own CPU time: what two idle cores
    # would give, whatever else runs on the machine.
    print("per worker CPU second: 1 worker %.0f sets, 2 workers %.0f sets: 2 idle cores would give %.2fx"
          % (c1, c2, 2 * c2 / c1))


if __name__ == "__main__":
    main(sys.argv[1])
