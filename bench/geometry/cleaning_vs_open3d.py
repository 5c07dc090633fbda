#!/usr/bin/python3
"""Times Facet's CleanMesh against Open3D's remove_duplicated_vertices,
remove_degenerate_triangles and remove_unreferenced_vertices on one generated mesh.

The mesh: a torus of RINGS x SIDES quads (10 M triangles by default) cut into charts of
CHART x CHART quads, each chart with its own vertices, so every vertex on a chart border is
repeated at exactly the same position (as texture seams split scanned meshes); then one
face in a thousand gets two equal corners and 10,000 vertices no face uses are appended.
It is written once as binary little-endian PLY. Open3D gets the same arrays in memory;
the Facet bench (bench_geometry's BM_CleanMesh) reads the PLY before its clock starts.
Neither time includes file reading or building the mesh object; both are the mean of
three runs on fresh copies.

Facet's cleaning also removes duplicate faces and makes the winding consistent, which the
three Open3D calls do not; the table says what each side found.

Run by hand (the benches are built with -DSPRINGDROP_BENCH=ON):
    apt-get install -y --no-install-recommends python3-open3d
    /usr/bin/python3 bench/geometry/cleaning_vs_open3d.py build/bench/bench_geometry
"""

import argparse
import json
import os
import subprocess
import sys
import tempfile
import time

import numpy as np


def torus_with_faults(rings, sides, chart):
    """Positions (float32, n x 3) and triangles (int32, m x 3) as described above."""
    positions, triangles = [], []
    count = 0
    for ci in range(0, rings, chart):
        for cj in range(0, sides, chart):
            wide, high = min(chart, rings - ci), min(chart, sides - cj)
            i, j = np.meshgrid(np.arange(wide + 1), np.arange(high + 1), indexing="ij")
            u = 2.0 * np.pi * ((ci + i) % rings) / rings
            v = 2.0 * np.pi * ((cj + j) % sides) / sides
            ring = 1.0 + 0.4 * np.cos(v)
            positions.append(np.stack([ring * np.cos(u), ring * np.sin(u), 0.4 * np.sin(v)], -1)
                             .reshape(-1, 3).astype(np.float32))
            at = lambda a, b: (count + a * (high + 1) + b).ravel()
            qi, qj = np.meshgrid(np.arange(wide), np.arange(high), indexing="ij")
            first = np.stack([at(qi, qj), at(qi + 1, qj), at(qi + 1, qj + 1)], -1)
            second = np.stack([at(qi, qj), at(qi + 1, qj + 1), at(qi, qj + 1)], -1)
            triangles.append(np.stack([first, second], 1).reshape(-1, 3))
            count += (wide + 1) * (high + 1)
    positions = np.concatenate(positions)
    triangles = np.concatenate(triangles).astype(np.int32)
    triangles[::1000, 2] = triangles[::1000, 1]  # two equal corners
    unused = np.random.default_rng(7).uniform(-2, 2, (10000, 3)).astype(np.float32)
    return np.concatenate([positions, unused]), triangles


def write_ply(path, positions, triangles):
    faces = np.empty(len(triangles), dtype=[("n", "u1"), ("corners", "<i4", (3,))])
    faces["n"] = 3
    faces["corners"] = triangles
    with open(path, "wb") as out:
        out.write(("ply\nformat binary_little_endian 1.0\nelement vertex %d\nproperty float x\n"
                   "property float y\nproperty float z\nelement face %d\n"
                   "property list uchar int vertex_indices\nend_header\n"
                   % (len(positions), len(triangles))).encode())
        out.write(positions.astype("<f4").tobytes())
        out.write(faces.tobytes())


def time_open3d(positions, triangles, repeats):
    """Mean wall and CPU seconds of the three calls, and what they removed."""
    import open3d as o3d
    total_wall = total_cpu = 0.0
    for _ in range(repeats):
        mesh = o3d.geometry.TriangleMesh(o3d.utility.Vector3dVector(positions.astype(np.float64)),
                                         o3d.utility.Vector3iVector(triangles))
        vertices_before, faces_before = len(mesh.vertices), len(mesh.triangles)
        wall, cpu = time.perf_counter(), time.process_time()
        mesh.remove_duplicated_vertices()
        after_weld = len(mesh.vertices)
        mesh.remove_degenerate_triangles()
        mesh.remove_unreferenced_vertices()
        wall, cpu = time.perf_counter() - wall, time.process_time() - cpu
        total_wall, total_cpu = total_wall + wall, total_cpu + cpu
        found = {"welded": vertices_before - after_weld,
                 "degenerate": faces_before - len(mesh.triangles),
                 "unreferenced": after_weld - len(mesh.vertices),
                 "version": o3d.__version__}
        del mesh
    return total_wall / repeats, total_cpu / repeats, found


def time_facet(bench, path):
    environment = dict(os.environ, FACET_CLEANING_MESH=path)
    run = subprocess.run([bench, "--benchmark_filter=BM_CleanMesh", "--benchmark_format=json"],
                         env=environment, check=True, capture_output=True, text=True)
    result = json.loads(run.stdout)["benchmarks"][0]
    if result.get("error_occurred"):
        sys.exit("the Facet bench failed: " + result.get("error_message", ""))
    scale = {"ms": 1e-3, "us": 1e-6, "ns": 1e-9, "s": 1.0}[result["time_unit"]]
    return result["real_time"] * scale, result["cpu_time"] * scale, result


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("bench", help="the bench_geometry program")
    parser.add_argument("--rings", type=int, default=2500)
    parser.add_argument("--sides", type=int, default=2000)
    parser.add_argument("--chart", type=int, default=50)
    parser.add_argument("--repeats", type=int, default=3)
    arguments = parser.parse_args()

    positions, triangles = torus_with_faults(arguments.rings, arguments.sides, arguments.chart)
    faces = len(triangles)
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "torus.ply")
        write_ply(path, positions, triangles)
        facet_wall, facet_cpu, facet = time_facet(arguments.bench, path)
    o3d_wall, o3d_cpu, o3d = time_open3d(positions, triangles, arguments.repeats)

    print("mesh: %d triangles, %d vertices (torus %d x %d, charts of %d, faults added)"
          % (faces, len(positions), arguments.rings, arguments.sides, arguments.chart))
    print("| cleaning | wall s | CPU s | wall ns/face | CPU ns/face | welded | degenerate | unreferenced |")
    print("| --- | --- | --- | --- | --- | --- | --- | --- |")
    print("| Facet CleanMesh | %.2f | %.2f | %.0f | %.0f | %d | %d | %d |"
          % (facet_wall, facet_cpu, facet_wall / faces * 1e9, facet_cpu / faces * 1e9, facet["welded"],
             facet["degenerate"], facet["unreferenced"]))
    print("| Open3D %s, three calls | %.2f | %.2f | %.0f | %.0f | %d | %d | %d |"
          % (o3d["version"], o3d_wall, o3d_cpu, o3d_wall / faces * 1e9, o3d_cpu / faces * 1e9, o3d["welded"],
             o3d["degenerate"], o3d["unreferenced"]))


if __name__ == "__main__":
    main()
