#!/usr/bin/env python3
"""Facet's Python module against the Python mesh libraries people use, on real meshes.

Run by hand, not by the tests:
    PYTHONPATH=build/python /usr/bin/python3 bench/python/facet_vs_peers.py [--repeat N]

Peers (Debian packages, installed for the measurement only): python3-open3d (reading and
vertex normals) and python3-meshio (reading). Meshes: libcgal-demo's scans and models and
assimp-testmodels' PLY and STL files, each that is installed; every mesh is also
converted by facet.write to binary PLY so each reader is timed on the same data in its
fastest format too. Prints a Markdown table of median times in milliseconds and each
ratio to Facet (peer time / Facet time: above 1 means Facet is faster), with Facet on all
the processor's threads (its default) and on one, then the calling overhead of the module
on a one-triangle mesh in microseconds, on one thread and on all.
"""
import argparse
import os
import pathlib
import statistics
import tarfile
import tempfile
import time
import timeit

import numpy as np

import facet

CGAL_TARBALL = "/usr/share/doc/libcgal-dev/data.tar.gz"
CGAL_MESHES = ["bunny00", "refined_elephant", "armadillo", "man"]
ASSIMP_FILES = ["/usr/share/assimp/models/PLY/Wuson.ply", "/usr/share/assimp/models/PLY/pond.0.ply",
                "/usr/share/assimp/models/STL/Spider_ascii.stl"]


def optional(name):
    try:
        return __import__(name)
    except ImportError:
        return None


def median_ms(work, repeat):
    times = []
    for _ in range(repeat):
        start = time.perf_counter()
        work()
        times.append(time.perf_counter() - start)
    return statistics.median(times) * 1000.0


def meshes(folder):
    paths = []
    if os.path.exists(CGAL_TARBALL):
        with tarfile.open(CGAL_TARBALL) as tar:
            for name in CGAL_MESHES:
                member = tar.getmember(f"data/meshes/{name}.off")
                member.name = f"{name}.off"
                tar.extract(member, folder)
                paths.append(pathlib.Path(folder) / member.name)
    paths += [pathlib.Path(p) for p in ASSIMP_FILES if os.path.exists(p)]
    readable, converted = [], []
    for path in paths:
        try:
            mesh = facet.read(path)
        except OSError as error:
            print(f"left out: {error}")
            continue
        readable.append(path)
        binary = pathlib.Path(folder) / f"{path.stem}-binary.ply"
        facet.write(binary, mesh.positions, mesh.faces, binary=True)
        converted.append(binary)
    return readable + converted


def row(path, repeat, open3d, meshio):
    mesh = facet.read(path)
    cells = [path.name, f"{len(mesh.faces)}"]

    def facet_normals(threads=None):
        m = facet.read(path, threads=threads)
        facet.vertex_normals(m.positions, m.faces, threads=threads)

    ours_normals = median_ms(facet_normals, repeat)
    ours_read = median_ms(lambda: facet.read(path), repeat)
    cells += [f"{median_ms(lambda: facet_normals(1), repeat):.2f}", f"{ours_normals:.2f}"]
    if open3d is not None:
        def open3d_normals():
            m = open3d.io.read_triangle_mesh(str(path))
            m.compute_vertex_normals()
        theirs = median_ms(open3d_normals, repeat)
        cells += [f"{theirs:.2f}", f"{theirs / ours_normals:.1f}x"]
    else:
        cells += ["-", "-"]
    cells.append(f"{ours_read:.2f}")
    if meshio is not None:
        try:
            theirs = median_ms(lambda: meshio.read(path), repeat)
            cells += [f"{theirs:.2f}", f"{theirs / ours_read:.1f}x"]
        except Exception as error:  # a format or variant meshio does not read
            cells += [f"fails ({type(error).__name__})", "-"]
    else:
        cells += ["-", "-"]
    return "| " + " | ".join(cells) + " |"


def call_overhead_us():
    positions = np.array([[0, 0, 0], [1, 0, 0], [0, 1, 0]], np.float32)
    faces = np.array([[0, 1, 2]], np.uint32)
    off = b"OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n"
    calls = {
        "weld": lambda threads: facet.weld(positions, threads=threads),
        "adjacency (with positions)": lambda threads: facet.adjacency(faces, positions, threads=threads),
        "vertex_normals": lambda threads: facet.vertex_normals(positions, faces, threads=threads),
        "info (arrays)": lambda threads: facet.info(facet.MeshData(positions, faces), threads=threads),
        "read (OFF bytes)": lambda threads: facet.read(off, threads=threads),
    }
    lines = []
    for name, call in calls.items():
        cells = [name]
        for threads in (1, None):
            number = 2000
            best = min(timeit.repeat(lambda: call(threads), number=number, repeat=5)) / number
            cells.append(f"{best * 1e6:.1f}")
        lines.append("| " + " | ".join(cells) + " |")
    return lines


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--repeat", type=int, default=7, help="runs per measurement (the median is shown)")
    args = parser.parse_args()
    open3d, meshio = optional("open3d"), optional("meshio")
    if open3d is not None:
        open3d.utility.set_verbosity_level(open3d.utility.VerbosityLevel.Error)
    print(f"facet {facet.__file__}; open3d {getattr(open3d, '__version__', 'absent')}; "
          f"meshio {getattr(meshio, '__version__', 'absent')}; numpy {np.__version__}; "
          f"load average {os.getloadavg()[0]:.1f} on {os.cpu_count()} cores (wall times: run on an idle machine)")
    print()
    print("| mesh | faces | facet read+normals ms, 1 thread | all threads | Open3D ms | Open3D/facet "
          "| facet read ms | meshio ms | meshio/facet |")
    print("| --- | ---: | ---: | ---: | ---: | ---: | ---: | ---: | ---: |")
    with tempfile.TemporaryDirectory() as folder:
        for path in meshes(folder):
            print(row(path, args.repeat, open3d, meshio), flush=True)
    print()
    print(f"| one-triangle call | µs, 1 thread | µs, {os.cpu_count()} threads |")
    print("| --- | ---: | ---: |")
    print("\n".join(call_overhead_us()))


if __name__ == "__main__":
    main()
