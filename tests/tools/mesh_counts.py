#!/usr/bin/env python3
"""Counts of a mesh file computed on their own, to check `facet info --json` against.

Reads OBJ, PLY (text and binary), OFF and STL (text and binary) with parsers of its own and computes, with
numpy, the counts facet info reports, by their documented definitions: vertices equal in
position (0 and -0 alike) are one point; a polygon that is convex in its own plane is
its fan of triangles; one that is not is taken whole (its area from its Newell normal,
its edges those of its outline, its inner diagonals shared by two of its own triangles),
so the check does not repeat facet's ear clipping.

usage: mesh_counts.py FILE...            print one JSON object per file
       mesh_counts.py --compare FACET FILE...
                                         run FACET info --json on each file, print a table
                                         row per file and exit 1 on any difference
"""
import json
import math
import struct
import subprocess
import sys

import numpy as np

PLY_TYPES = {
    "char": "b", "int8": "b", "uchar": "B", "uint8": "B", "short": "h", "int16": "h",
    "ushort": "H", "uint16": "H", "int": "i", "int32": "i", "uint": "I", "uint32": "I",
    "float": "f", "float32": "f", "double": "d", "float64": "d",
}


def statements(text):
    """OBJ lines with comments dropped and backslash continuations joined."""
    pending = ""
    for line in text.splitlines():
        line = line.split("#", 1)[0]
        if line.endswith("\\"):
            pending += line[:-1] + " "
            continue
        yield (pending + line).split()
        pending = ""
    if pending:
        yield pending.split()


def read_obj(data):
    """Positions and polygons; a vertex whose corners name other (vt, vn) pairs than its
    first corner is copied once per pair, the copies after the file's vertices in the
    order their first corners come."""
    positions, keyed, counts = [], [], {"vt": 0, "vn": 0}

    def resolve(word, defined):
        if not word:
            return None
        index = int(word)
        return index - 1 if index > 0 else defined + index

    for words in statements(data.decode("utf-8", "replace")):
        if not words:
            continue
        if words[0] == "v":
            positions.append([float(w) for w in words[1:4]])
        elif words[0] in counts:
            counts[words[0]] += 1
        elif words[0] == "f":
            polygon = []
            for corner in words[1:]:
                parts = (corner.split("/") + ["", ""])[:3]
                polygon.append((resolve(parts[0], len(positions)), resolve(parts[1], counts["vt"]),
                                resolve(parts[2], counts["vn"])))
            keyed.append(polygon)
    first, copies, polygons = {}, {}, []
    for polygon in keyed:
        numbered = []
        for vertex, texture, normal in polygon:
            pair = first.setdefault(vertex, (texture, normal))
            if pair == (texture, normal):
                numbered.append(vertex)
                continue
            key = (vertex, texture, normal)
            if key not in copies:
                copies[key] = len(copies)
            numbered.append(key)
        polygons.append(numbered)
    base = len(positions)
    positions += [positions[key[0]] for key in sorted(copies, key=copies.get)]
    polygons = [[c if isinstance(c, int) else base + copies[c] for c in polygon] for polygon in polygons]
    return positions, polygons


def read_off(data):
    words = []
    for line in data.decode("utf-8", "replace").splitlines():
        words.append(line.split("#", 1)[0].split())
    lines = [w for w in words if w]
    header = lines[0]
    if len(header) > 1:
        counts, rest = header[1:], lines[1:]
    else:
        counts, rest = lines[1], lines[2:]
    vertex_count, face_count = int(counts[0]), int(counts[1])
    positions = [[float(w) for w in line[:3]] for line in rest[:vertex_count]]
    polygons = []
    for line in rest[vertex_count:vertex_count + face_count]:
        n = int(line[0])
        polygons.append([int(w) for w in line[1:1 + n]])
    return positions, polygons


def read_ply(data):
    end = data.index(b"end_header") + len(b"end_header")
    end = data.index(b"\n", end) + 1
    header = data[:end].decode("ascii").splitlines()
    encoding, elements = "ascii", []
    for line in header:
        words = line.split()
        if not words:
            continue
        if words[0] == "format":
            encoding = words[1]
        elif words[0] == "element":
            elements.append((words[1], int(words[2]), []))
        elif words[0] == "property":
            elements[-1][2].append(tuple(words[1:]))
    body = data[end:]
    positions, polygons = [], []
    if encoding == "ascii":
        values = iter(body.split())
        take = lambda kind: float(next(values)) if kind in "fd" else int(next(values))
    else:
        order = "<" if encoding == "binary_little_endian" else ">"
        offset = [0]

        def take(kind):
            value = struct.unpack_from(order + kind, body, offset[0])[0]
            offset[0] += struct.calcsize(kind)
            return value
    for name, count, properties in elements:
        for _ in range(count):
            record = {}
            for prop in properties:
                if prop[0] == "list":
                    n = take(PLY_TYPES[prop[1]])
                    record[prop[3]] = [take(PLY_TYPES[prop[2]]) for _ in range(n)]
                else:
                    record[prop[1]] = take(PLY_TYPES[prop[0]])
            if name == "vertex":
                positions.append([record["x"], record["y"], record["z"]])
            elif name == "face":
                polygons.append(record.get("vertex_indices", record.get("vertex_index")))
    return positions, polygons


def binary_stl_bodies(data):
    """(offset, count) of each binary body when the bytes are one or more of them that end
    with the file; None otherwise."""
    bodies, at = [], 0
    while len(data) - at >= 84:
        count = struct.unpack_from("<I", data, at + 80)[0]
        bodies.append((at + 84, count))
        at += 84 + 50 * count
        if at == len(data):
            return bodies
    return None


def read_stl(data):
    # Binary when the size is exactly 84 + 50 x the count, or bodies of that shape one
    # after the other; else text "vertex x y z" lines.
    bodies = binary_stl_bodies(data)
    if bodies is not None:
        corners = []
        for offset, count in bodies:
            records = np.frombuffer(data, dtype=np.dtype([("normal", "<f4", 3), ("corners", "<f4", (3, 3)),
                                                          ("attribute", "<u2")]), count=count, offset=offset)
            corners += [tuple(float(v) for v in corner) for corner in records["corners"].reshape(-1, 3)]
    else:
        words = data.decode("ascii", "replace").split()
        corners = [tuple(float(np.float32(w)) for w in words[i + 1:i + 4])
                   for i, word in enumerate(words) if word.lower() == "vertex"]
    # Corners at one position (0 and -0 alike) are one vertex, numbered by first corner.
    numbers, positions = {}, []
    for corner in corners:
        key = tuple(v + 0.0 for v in corner)
        if key not in numbers:
            numbers[key] = len(positions)
            positions.append(list(corner))
    indices = [numbers[tuple(v + 0.0 for v in corner)] for corner in corners]
    return positions, [indices[i:i + 3] for i in range(0, len(indices), 3)]


def read(path):
    data = open(path, "rb").read()
    lower = path.lower()
    if lower.endswith(".ply"):
        return read_ply(data)
    if lower.endswith(".off"):
        return read_off(data)
    if lower.endswith(".stl"):
        return read_stl(data)
    return read_obj(data)


class Sets:
    def __init__(self, n):
        self.parent = list(range(n))

    def find(self, x):
        parent = self.parent
        while parent[x] != x:
            parent[x] = parent[parent[x]]
            x = parent[x]
        return x

    def join(self, a, b):
        a, b = self.find(a), self.find(b)
        if a != b:
            self.parent[max(a, b)] = min(a, b)


def newell(p):
    q = np.roll(p, -1, axis=0)
    return np.array([np.sum((p[:, 1] - q[:, 1]) * (p[:, 2] + q[:, 2])),
                     np.sum((p[:, 2] - q[:, 2]) * (p[:, 0] + q[:, 0])),
                     np.sum((p[:, 0] - q[:, 0]) * (p[:, 1] + q[:, 1]))])


def convex_in_plane(q):
    """True when the projected polygon turns left at every corner and goes round once."""
    u, v = q[:, 0], q[:, 1]
    du, dv = np.roll(u, -1) - u, np.roll(v, -1) - v
    turns = np.roll(du, 1) * dv - np.roll(dv, 1) * du
    if (turns <= 0).any():
        return False
    signs = np.sign(du[du != 0])
    return int(np.count_nonzero(signs[1:] != signs[:-1])) <= 2


def project(p):
    """The polygon's corners in its Newell plane, wound counter-clockwise; None on a line."""
    normal = newell(p)
    if not normal.any():
        return None
    axis = int(np.argmax(np.abs(normal)))
    u, v = p[:, (axis + 1) % 3], p[:, (axis + 2) % 3]
    return np.stack([-u if normal[axis] < 0 else u, v], axis=1)


def has_exact_cover(q):
    """True when the projected polygon goes round once and no two edges properly cross.

    Edges may touch or run along each other (a hole joined to the outline by a bridge is
    covered exactly); an outline that crosses itself or goes round more than once is not.
    """
    a, b = q, np.roll(q, -1, axis=0)
    d = b - a
    d = d[(d != 0).any(axis=1)]
    following = np.roll(d, -1, axis=0)
    turning = np.sum(np.arctan2(d[:, 0] * following[:, 1] - d[:, 1] * following[:, 0],
                                (d * following).sum(axis=1)))
    if abs(turning - 2 * math.pi) > 1e-6:
        return False

    def side(p, r, s):  # sign of the turn p -> r -> s, for every pair of edges at once
        return np.sign((r[..., 0] - p[..., 0]) * (s[..., 1] - p[..., 1]) -
                       (r[..., 1] - p[..., 1]) * (s[..., 0] - p[..., 0]))
    A, B, C, D = a[:, None, :], b[:, None, :], a[None, :, :], b[None, :, :]
    proper = (side(A, B, C) * side(A, B, D) < 0) & (side(C, D, A) * side(C, D, B) < 0)
    return not proper.any()


def counts(positions, polygons):
    points = np.asarray(positions, dtype=np.float32).reshape(-1, 3) + np.float32(0)  # -0 becomes 0
    vertex_count = len(points)
    _, first, inverse = np.unique(points, axis=0, return_index=True, return_inverse=True)
    reps = first[inverse.reshape(-1)]
    exact = points.astype(np.float64)
    # Triangles (fans of convex polygons) and whole non-convex polygons, each a "piece".
    pieces, non_convex, split = [], 0, 0
    for polygon in polygons:
        if len(polygon) > 3:
            split += 1
            q = project(exact[polygon])
            if q is not None and not convex_in_plane(q):
                non_convex += 1
                # One that crosses itself has no exact cover and stays a fan.
                if len(polygon) <= 4096 and has_exact_cover(q):
                    pieces.append(list(polygon))
                    continue
        pieces.extend([polygon[0], polygon[k], polygon[k + 1]] for k in range(1, len(polygon) - 1))
    faces = sum(len(piece) - 2 for piece in pieces)
    used = np.zeros(vertex_count, dtype=bool)
    point_sets = Sets(vertex_count)
    degenerate = zero_area = 0
    area = sixfold_volume = 0.0
    edges, edge_piece = [], []
    for number, piece in enumerate(pieces):
        used[piece] = True
        keys = [int(reps[c]) for c in piece]
        for key in keys[1:]:
            point_sets.join(keys[0], key)
        p = exact[piece]
        if len(piece) == 3:
            normal = np.cross(p[1] - p[0], p[2] - p[0])
            area += 0.5 * math.sqrt(float(normal @ normal))
            if len(set(keys)) < 3:
                degenerate += 1
                continue
            if not normal.any():
                zero_area += 1
        else:
            normal = newell(p)
            area += 0.5 * math.sqrt(float(normal @ normal))
        for k in range(len(piece)):
            sixfold_volume += float(p[0] @ np.cross(p[k - 1], p[k])) if 0 < k < len(piece) else 0.0
            edges.append((keys[k], keys[(k + 1) % len(piece)]))
            edge_piece.append(number)
    boundary = non_manifold = misoriented = 0
    piece_sets = Sets(len(pieces))
    if edges:
        e = np.array(edges, dtype=np.int64)
        low, high = e.min(axis=1), e.max(axis=1)
        up = e[:, 0] < e[:, 1]
        key = low * (vertex_count + 1) + high
        order = np.argsort(key, kind="stable")
        key, up, owner = key[order], up[order], np.asarray(edge_piece)[order]
        starts = np.flatnonzero(np.r_[True, key[1:] != key[:-1]])
        sizes = np.diff(np.r_[starts, len(key)])
        boundary = int(np.count_nonzero(sizes == 1))
        non_manifold = int(np.count_nonzero(sizes >= 3))
        pairs = starts[sizes == 2]
        misoriented = int(np.count_nonzero(up[pairs] == up[pairs + 1]))
        for start, size in zip(starts[sizes > 1], sizes[sizes > 1]):
            for r in range(start + 1, start + size):
                piece_sets.join(int(owner[start]), int(owner[r]))
    with_edges = sorted({n for n in edge_piece})
    edge_components = len({piece_sets.find(n) for n in with_edges})
    components = len({point_sets.find(int(reps[v])) for v in np.flatnonzero(used)})
    closed = faces > degenerate + zero_area and boundary == 0 and non_manifold == 0
    return {
        "vertices": vertex_count, "faces": faces, "polygons": len(polygons), "split_polygons": split,
        "non_convex_polygons": non_convex, "degenerate_faces": degenerate, "zero_area_faces": zero_area,
        "unreferenced_vertices": int(vertex_count - np.count_nonzero(used)),
        "welded_points": int(np.count_nonzero(reps != np.arange(vertex_count))) if faces else None,
        "boundary_edges": boundary, "non_manifold_edges": non_manifold, "misoriented_edges": misoriented,
        "components": components, "edge_components": edge_components, "closed": closed, "area": area,
        "volume": sixfold_volume / 6.0 if closed and misoriented == 0 else None,
    }


def differences(mine, theirs):
    # A polygon that is not convex is taken whole here: where it is not quite planar,
    # its area and its share of the volume depend on how it is cut into triangles, so
    # those agree only as closely as the polygon is flat.
    tolerance = 1e-9 if mine["non_convex_polygons"] == 0 else 1e-5
    wrong = []
    for name, value in mine.items():
        other = theirs.get(name, "missing")
        if isinstance(value, float) and isinstance(other, (int, float)):
            if not math.isclose(value, other, rel_tol=tolerance, abs_tol=1e-12 * max(1.0, abs(mine["area"]))):
                wrong.append(f"{name} {other} != {value}")
        elif value != other:
            wrong.append(f"{name} {other} != {value}")
    return wrong


def main(arguments):
    if arguments[:1] != ["--compare"]:
        for path in arguments:
            print(json.dumps({"file": path, **counts(*read(path))}))
        return 0
    facet, paths = arguments[1], arguments[2:]
    columns = ["vertices", "faces", "non_convex_polygons", "degenerate_faces", "zero_area_faces",
               "welded_points", "boundary_edges", "non_manifold_edges", "misoriented_edges", "components",
               "edge_components", "closed", "area", "volume"]
    print("| file | " + " | ".join(columns) + " | agrees |")
    print("|" + "---|" * (len(columns) + 2))
    failures = 0
    for path in paths:
        run = subprocess.run([facet, "info", path, "--json"], capture_output=True, text=True)
        if run.returncode != 0:
            print(f"| {path} | refused: {run.stderr.strip()} |")
            failures += 1
            continue
        theirs, mine = json.loads(run.stdout), counts(*read(path))
        wrong = differences(mine, theirs)
        failures += bool(wrong)
        cells = [f"{theirs[c]:.6g}" if isinstance(theirs[c], float) else json.dumps(theirs[c]) for c in columns]
        print(f"| {path} | " + " | ".join(cells) + " | " + ("yes" if not wrong else "; ".join(wrong)) + " |")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
