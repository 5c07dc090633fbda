"""facet.weld, facet.adjacency, facet.vertex_normals, facet.optimize and facet.clean against
the facet program's outputs, and the arrays they refuse."""
import concurrent.futures

import numpy as np
import pytest

import facet
from conftest import program_json, run_program


def program_adjacency(path, *options):
    lines = run_program("adjacency", path, *options).split("\n")[1:-1]
    return np.array([line.split() for line in lines], dtype=np.int64).astype(np.uint32)


def program_normals(path, tmp_path, *options):
    out = tmp_path / "normals.obj"
    run_program("normals", path, "-o", out, *options)
    return np.array([line.split()[1:] for line in out.read_text().split("\n") if line.startswith("vn ")],
                    dtype=np.float32)


def test_adjacency_equals_the_program(real_meshes):
    for path in real_meshes[:6]:
        mesh = facet.read(path)
        np.testing.assert_array_equal(facet.adjacency(mesh.faces, mesh.positions), program_adjacency(path))


def test_adjacency_welds_only_with_positions(seamed):
    mesh = facet.read(seamed)
    welded = facet.adjacency(mesh.faces, mesh.positions, epsilon=0.05)
    np.testing.assert_array_equal(welded, program_adjacency(seamed, "--weld", "0.05"))
    by_index = facet.adjacency(mesh.faces)
    assert (by_index == facet.NO_NEIGHBOUR).sum() > (welded == facet.NO_NEIGHBOUR).sum()
    with pytest.raises(ValueError, match="positions"):
        facet.adjacency(mesh.faces, epsilon=0.05)


def test_vertex_normals_equal_the_program(real_meshes, tmp_path):
    for path in real_meshes[:6]:
        mesh = facet.read(path)
        normals = facet.vertex_normals(mesh.positions, mesh.faces)
        assert normals.dtype == np.float32 and normals.shape == mesh.positions.shape
        np.testing.assert_array_equal(normals, program_normals(path, tmp_path))


def test_vertex_normals_weld_as_the_program(seamed, tmp_path):
    mesh = facet.read(seamed)
    np.testing.assert_array_equal(facet.vertex_normals(mesh.positions, mesh.faces, epsilon=0.05),
                                  program_normals(seamed, tmp_path, "--weld", "0.05"))


def test_weld_joins_what_info_counts(seamed):
    mesh = facet.read(seamed)
    for epsilon in (0.0, 0.05):
        reps = facet.weld(mesh.positions, epsilon)
        assert reps.dtype == np.uint32 and reps.shape == (len(mesh.positions),)
        assert (reps != np.arange(len(reps))).sum() == facet.info(seamed, epsilon)["welded_points"]
        assert (reps[reps] == reps).all()  # each representative is its own
        assert (np.abs(mesh.positions - mesh.positions[reps]) <= epsilon).all()


def test_optimize_equals_the_program(bunny, tmp_path):
    mesh = facet.read(bunny)
    positions, faces, report = facet.optimize(mesh.positions, mesh.faces)
    out = tmp_path / "optimized.off"
    expected = program_json("optimize", bunny, "-o", out)
    written = facet.read(out)
    np.testing.assert_array_equal(positions, written.positions)
    np.testing.assert_array_equal(faces, written.faces)
    for key in ("faces_before", "faces_after", "vertices_before", "vertices_after"):
        assert report[key] == expected[key]
    for ours, theirs in zip(report["caches"], expected["caches"]):
        assert {k: round(v, 6) for k, v in ours.items()} == theirs
    # The remaps carry per-vertex and per-face data along.
    np.testing.assert_array_equal(positions, mesh.positions[report["vertex_remap"]])
    np.testing.assert_array_equal(report["vertex_remap"][faces], mesh.faces[report["face_remap"]])


def test_clean_equals_the_program(real_meshes, tmp_path):
    for path in real_meshes[1:6]:
        mesh = facet.read(path)
        positions, faces, report = facet.clean(mesh.positions, mesh.faces)
        out = tmp_path / "clean.off"
        expected = program_json("clean", path, "-o", out)
        assert report == {k: v for k, v in expected.items() if k not in ("file", "check_only")}, path
        written = facet.read(out)
        np.testing.assert_array_equal(positions, written.positions)
        np.testing.assert_array_equal(faces, written.faces)


BAD_POSITIONS = [
    (np.zeros((4, 2), np.float32), "shape"),
    (np.zeros(12, np.float32), "shape"),
    (np.array([["a", "b", "c"]] * 4), "dtype"),
    (np.zeros((4, 3), complex), "dtype"),
    (np.array([[0, 0, np.nan]] * 4, np.float32), "finite"),
    (np.array([[0, 0, np.inf]] * 4), "finite"),
    (np.array([[0, 0, 1e39]] * 4), "finite"),  # beyond float32
]
BAD_FACES = [
    (np.array([[0, 1, 4]], np.uint32), "positions"),
    (np.array([[0, 1, -1]]), "negative"),
    (np.array([[0, 1, 2]], np.float32), "integers"),
    (np.array([[0, 1]]), "shape"),
    (np.array([[0, 1, 2**40]], np.uint64), "32-bit"),
]
GOOD_POSITIONS = np.array([[0, 0, 0], [1, 0, 0], [0, 1, 0], [0, 0, 1]], np.float32)
GOOD_FACES = np.array([[0, 1, 2], [0, 2, 3]], np.uint32)
CALLS = {
    "weld": lambda p, f: facet.weld(p),
    "adjacency": lambda p, f: facet.adjacency(f, p),
    "vertex_normals": facet.vertex_normals,
    "optimize": facet.optimize,
    "clean": facet.clean,
    "MeshData": facet.MeshData,
}


@pytest.mark.filterwarnings("ignore:overflow encountered in cast:RuntimeWarning")
@pytest.mark.parametrize("name", CALLS)
def test_bad_arrays_raise_and_change_nothing(name):
    call = CALLS[name]
    for positions, message in BAD_POSITIONS:
        before = positions.copy()
        with pytest.raises(ValueError, match=message):
            call(positions, GOOD_FACES)
        np.testing.assert_array_equal(positions, before)
    if name == "weld":
        return
    for faces, message in BAD_FACES:
        before = faces.copy()
        with pytest.raises(ValueError, match=message):
            call(GOOD_POSITIONS, faces)
        np.testing.assert_array_equal(faces, before)


def test_bad_epsilon_raises():
    for epsilon in (-1.0, float("nan"), float("inf")):
        with pytest.raises(ValueError, match="epsilon"):
            facet.weld(GOOD_POSITIONS, epsilon)
        with pytest.raises(ValueError, match="epsilon"):
            facet.info(facet.MeshData(GOOD_POSITIONS, GOOD_FACES), epsilon)


def test_any_numeric_layout_gives_the_same_result(bunny):
    mesh = facet.read(bunny)
    expected = facet.vertex_normals(mesh.positions, mesh.faces)
    layouts = [
        (mesh.positions.astype(np.float64), mesh.faces.astype(np.int64)),
        (np.asfortranarray(mesh.positions), np.asfortranarray(mesh.faces).astype(np.int32)),
        (np.repeat(mesh.positions, 2, axis=0)[::2], mesh.faces.astype(np.uint16) if len(mesh.positions) < 65536
         else mesh.faces),
        (mesh.positions.tolist(), mesh.faces.tolist()),
    ]
    for positions, faces in layouts:
        np.testing.assert_array_equal(facet.vertex_normals(positions, faces), expected)


def test_float32_arrays_are_taken_without_a_copy():
    made = facet.MeshData(GOOD_POSITIONS, GOOD_FACES)
    assert made.positions is GOOD_POSITIONS
    assert facet.MeshData(GOOD_POSITIONS.astype(np.float64), GOOD_FACES).positions.dtype == np.float32


def test_empty_inputs():
    none = np.zeros((0, 3), np.uint32)
    assert facet.weld(np.zeros((0, 3))).shape == (0,)
    assert facet.adjacency(none).shape == (0, 3)
    np.testing.assert_array_equal(facet.vertex_normals(GOOD_POSITIONS, none), np.zeros((4, 3), np.float32))
    for function in (facet.optimize, facet.clean):
        with pytest.raises(ValueError, match="empty"):
            function(GOOD_POSITIONS, none)


def test_wide_meshes_use_32_bit_indices():
    # More than 65534 vertices: a strip of triangles over a long row of points.
    count = 70000
    positions = np.zeros((count, 3), np.float32)
    positions[:, 0] = np.arange(count) // 2
    positions[:, 1] = np.arange(count) % 2
    faces = np.stack([np.arange(count - 2), np.arange(1, count - 1), np.arange(2, count)], axis=1)
    faces[1::2] = faces[1::2][:, [1, 0, 2]]
    info = facet.info(facet.MeshData(positions, faces))
    assert info["index_bits"] == 32 and info["boundary_edges"] == count
    adjacency = facet.adjacency(faces, positions)
    assert adjacency[1000].tolist().count(facet.NO_NEIGHBOUR) == 1


def test_threads_share_nothing(bunny):
    mesh = facet.read(bunny)
    expected = facet.vertex_normals(mesh.positions, mesh.faces)
    with concurrent.futures.ThreadPoolExecutor(4) as pool:
        results = list(pool.map(lambda _: facet.vertex_normals(mesh.positions, mesh.faces), range(8)))
    for result in results:
        np.testing.assert_array_equal(result, expected)
