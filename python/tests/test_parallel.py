"""Scans, fits and posteriors on Dask: the same numbers as the serial
evaluation whatever the cluster, and none lost when a worker dies."""

import os
import signal
import socket
import subprocess
import sys
import threading
import time

import numpy as np
import pytest

import preisach
from conftest import SOURCE

GRID = {"hc0_mean": np.linspace(200.0, 400.0, 5), "sigmac0": [20.0, 40.0, 80.0]}


def serial_curves(p, grid):
    zfc = np.empty((len(grid["hc0_mean"]), len(grid["sigmac0"]), len(preisach.zfcfc(p).T)))
    fc = np.empty_like(zfc)
    for i, h in enumerate(grid["hc0_mean"]):
        for j, s in enumerate(grid["sigmac0"]):
            c = preisach.zfcfc(p.replace(hc0_mean=h, sigmac0=s))
            zfc[i, j], fc[i, j] = c.zfc, c.fc
    return zfc, fc


@pytest.fixture(scope="module")
def local_client():
    from dask.distributed import Client, LocalCluster
    cluster = LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None,
                           host="127.0.0.1")
    client = Client(cluster)
    yield client
    client.close()
    cluster.close()


def test_a_scan_on_two_workers_is_the_serial_evaluation(local_client):
    p = preisach.Parameters()
    s = preisach.scan(p, GRID, client=local_client, chunk=4, progress=False)
    zfc, fc = serial_curves(p, GRID)
    np.testing.assert_array_equal(s["zfc"], zfc)
    np.testing.assert_array_equal(s["fc"], fc)
    np.testing.assert_array_equal(s["T"], preisach.zfcfc(p).T)


def test_a_chi_square_scan_is_the_serial_chi_square(local_client):
    data = [SOURCE / "examples" / "fitting" / "zfcfc.dat"]
    p = preisach.Parameters.from_file(SOURCE / "examples" / "fitting" / "Magnetism" / "Parameters.txt")
    grid = {"hc0_mean": [280.0, 300.0, 320.0], "N": [0.9, 1.0]}
    s = preisach.scan(p, grid, data=data, client=local_client, chunk=2, progress=False)
    expected = [[preisach.chi_square(p.replace(hc0_mean=h, N=n), data) for n in grid["N"]]
                for h in grid["hc0_mean"]]
    np.testing.assert_array_equal(s["chisqr"], expected)


def test_starts_on_a_cluster_find_the_fit_of_the_command(local_client):
    folder = SOURCE / "examples" / "fitting"
    p = preisach.Parameters.from_file(folder / "Magnetism" / "Parameters.txt")
    free = {"hc0_mean": (150.0, 500.0), "sigmac0": (20.0, 300.0), "sigmai0": (20.0, 300.0), "N": (0.2, 5.0)}
    serial = preisach.fit(p, [folder / "zfcfc.dat"], free)
    spread = preisach.fit(p, [folder / "zfcfc.dat"], free, starts=4, client=local_client)
    assert len(spread.minima) == 4
    assert spread.chisqr <= serial.chisqr
    assert spread.chisqr == pytest.approx(serial.chisqr, rel=1e-6)


def test_a_posterior_is_the_same_chain_on_any_cluster(local_client):
    folder = SOURCE / "examples" / "fitting"
    p = preisach.Parameters.from_file(folder / "Magnetism" / "Parameters.txt").replace(
        hc0_mean=300, sigmac0=100, sigmai0=100, N=1)
    free = {"hc0_mean": (200.0, 400.0), "N": (0.5, 2.0)}
    data = [folder / "zfcfc.dat"]
    a = preisach.sample(p, data, free, walkers=6, steps=5, client=local_client, progress=False)
    b = preisach.sample(p, data, free, walkers=6, steps=5, client=local_client, chunk=1, progress=False)
    np.testing.assert_array_equal(a.get_chain(), b.get_chain())
    assert np.all(np.isfinite(a.get_log_prob()))


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def start(arguments):
    return subprocess.Popen(arguments, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                            start_new_session=True, env=dict(os.environ))


def stop(process):
    if process.poll() is None:
        os.killpg(process.pid, signal.SIGTERM)
        try:
            process.wait(timeout=20)
        except subprocess.TimeoutExpired:
            os.killpg(process.pid, signal.SIGKILL)
            process.wait()


def test_a_scan_survives_a_worker_killed_on_a_real_scheduler(tmp_path):
    from dask.distributed import Client
    port = free_port()
    address = "tcp://127.0.0.1:%d" % port
    processes = [start(["/usr/bin/dask-scheduler", "--host", "127.0.0.1", "--port", str(port), "--no-dashboard"])]
    try:
        for _ in range(2):
            processes.append(start(["/usr/bin/dask-worker", address, "--host", "127.0.0.1", "--nthreads", "1",
                                    "--no-nanny", "--no-dashboard", "--local-directory", str(tmp_path)]))
        with Client(address, timeout=60) as client:
            client.wait_for_workers(2, timeout=60)
            p = preisach.Parameters()
            grid = {"hc0_mean": np.linspace(200.0, 400.0, 40), "sigmac0": np.linspace(20.0, 120.0, 50)}
            result = {}
            scan = threading.Thread(target=lambda: result.update(
                preisach.scan(p, grid, client=client, chunk=5, progress=False)))
            scan.start()
            deadline = time.monotonic() + 120
            # Kill the first worker once results are held on the workers.
            while len(client.who_has()) < 10 and time.monotonic() < deadline:
                time.sleep(0.02)
            assert scan.is_alive(), "the scan ended before a worker could be killed"
            os.killpg(processes[1].pid, signal.SIGKILL)
            processes[1].wait()
            scan.join(timeout=300)
            assert not scan.is_alive(), "the scan did not end"
            assert len(client.scheduler_info()["workers"]) == 1
        zfc, fc = serial_curves(p, grid)
        np.testing.assert_array_equal(result["zfc"], zfc)
        np.testing.assert_array_equal(result["fc"], fc)
    finally:
        for process in reversed(processes):
            stop(process)


def test_a_script_without_a_main_guard_is_told_to_add_one(tmp_path):
    script = tmp_path / "unguarded.py"
    script.write_text("import preisach\n"
                      "preisach.scan(preisach.Parameters(), {'hc0_mean': [250, 300]}, chunk=1, progress=False)\n")
    done = subprocess.run([sys.executable, str(script)], capture_output=True, text=True, timeout=120,
                          stdin=subprocess.DEVNULL)
    assert done.returncode != 0
    assert "if __name__ == \"__main__\":" in done.stderr and "Restarting worker" not in done.stderr
