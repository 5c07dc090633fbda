"""facet.read, facet.write and facet.info against the facet program on the same files."""
import os

import numpy as np
import pytest

import facet
from conftest import program_json, run_program


def test_info_equals_the_program_on_every_format(real_meshes):
    for path in real_meshes:
        expected = program_json("info", path)
        assert facet.info(str(path)) == expected, path
        assert facet.info(path) == expected  # os.PathLike too
        # Read data remembers its file: its info is the file's.
        assert facet.info(facet.read(path)) == expected, path


def test_info_with_weld_equals_the_program(seamed):
    expected = program_json("info", seamed, "--weld", "0.05")
    assert facet.info(seamed, epsilon=0.05) == expected
    assert expected["welded_points"] != program_json("info", seamed)["welded_points"]


def test_read_gives_the_files_numbering(real_meshes):
    for path in real_meshes:
        mesh = facet.read(path)
        info = program_json("info", path)
        assert mesh.positions.dtype == np.float32 and mesh.positions.shape == (info["vertices"], 3)
        assert mesh.faces.dtype == np.uint32 and mesh.faces.shape == (info["faces"], 3)
        assert mesh.format == info["format"]
        # These files carry positions only.
        assert mesh.texcoords is None and mesh.colors is None
        assert mesh.positions.min(axis=0).tolist() == pytest.approx(info["bounding_box"]["min"])
        assert mesh.positions.flags.c_contiguous and mesh.faces.flags.c_contiguous


def test_read_matches_the_programs_conversion(bunny, tmp_path):
    # The program's OFF writer keeps the numbering and nine digits, so its file holds the
    # same numbers the module reads.
    converted = tmp_path / "bunny.off"
    run_program("convert", bunny, converted)
    lines = converted.read_text().split("\n")
    vertices, faces, _ = map(int, lines[1].split())
    positions = np.array([line.split() for line in lines[2:2 + vertices]], dtype=np.float32)
    corners = np.array([line.split()[1:] for line in lines[2 + vertices:2 + vertices + faces]], dtype=np.uint32)
    mesh = facet.read(bunny)
    np.testing.assert_array_equal(mesh.positions, positions)
    np.testing.assert_array_equal(mesh.faces, corners)


def test_arrays_made_here_count_as_the_file(bunny):
    mesh = facet.read(bunny)
    made = facet.MeshData(mesh.positions.astype(np.float64), mesh.faces.astype(np.int64))
    info = facet.info(made)
    expected = facet.info(bunny)
    assert info["file"] is None and info["format"] is None and info["encoding"] is None
    for key in ("file", "format", "encoding"):
        del info[key], expected[key]
    assert info == expected


def test_arrays_without_faces_count_their_vertices():
    info = facet.info(facet.MeshData(np.eye(3, dtype=np.float32), np.zeros((0, 3), np.uint32)))
    assert (info["vertices"], info["faces"], info["unreferenced_vertices"], info["index_bits"]) == (3, 0, 3, None)


@pytest.mark.parametrize("name,binary", [("a.obj", False), ("a.ply", True), ("a.ply", False), ("a.off", True),
                                         ("a.stl", True), ("a.stl", False)])
def test_write_reads_back(bunny, tmp_path, name, binary):
    mesh = facet.read(bunny)
    path = tmp_path / name
    facet.write(path, mesh.positions, mesh.faces, binary=binary)
    back = facet.read(path)
    info = facet.info(path)
    assert info["encoding"] == ("binary little-endian" if binary and name[-3:] in ("ply", "stl") else "text")
    if name.endswith(".stl"):  # STL joins corners again: compare the triangles' positions
        np.testing.assert_array_equal(back.positions[back.faces], mesh.positions[mesh.faces])
    else:
        np.testing.assert_array_equal(back.positions, mesh.positions)
        np.testing.assert_array_equal(back.faces, mesh.faces)


def test_write_with_normals_as_the_program_writes_them(bunny, tmp_path):
    mesh = facet.read(bunny)
    normals = facet.vertex_normals(mesh.positions, mesh.faces)
    ours, theirs = tmp_path / "ours.obj", tmp_path / "theirs.obj"
    facet.write(ours, mesh.positions, mesh.faces, normals=normals)
    run_program("normals", bunny, "-o", theirs)
    # Same numbers in the same order; only the comment line may differ.
    assert ours.read_text().split("\n")[1:] == theirs.read_text().split("\n")[1:]


def test_write_refusals_leave_the_file_as_it_was(bunny, tmp_path):
    mesh = facet.read(bunny)
    path = tmp_path / "kept.ply"
    path.write_bytes(b"before")
    bad = [
        dict(texcoords=np.zeros((len(mesh.positions), 3))),
        dict(colors=np.full((len(mesh.positions), 3), 1.5)),
        dict(colors=np.zeros((len(mesh.positions), 5))),
        dict(normals=np.zeros((3, 3))),
        dict(faces=mesh.faces + len(mesh.positions)),
        dict(positions=np.full_like(mesh.positions, np.nan)),
        dict(faces=np.zeros((0, 3), np.uint32)),
    ]
    for change in bad:
        arguments = dict(positions=mesh.positions, faces=mesh.faces) | change
        with pytest.raises(ValueError):
            facet.write(path, **arguments)
        assert path.read_bytes() == b"before"
    with pytest.raises(ValueError, match="STL files hold no vertex normals"):
        facet.write(tmp_path / "x.stl", mesh.positions, mesh.faces, normals=mesh.positions)
    with pytest.raises(ValueError, match="STL files hold no vertices outside the faces; 1 positions"):
        facet.write(tmp_path / "x.stl", np.vstack([mesh.positions, [[9, 9, 9]]]), mesh.faces)
    with pytest.raises(ValueError, match="OBJ files hold no alpha"):
        facet.write(tmp_path / "x.obj", mesh.positions, mesh.faces,
                    colors=np.full((len(mesh.positions), 4), 0.5, np.float32))
    with pytest.raises(ValueError, match=r"\.obj, \.ply"):
        facet.write(tmp_path / "x.txt", mesh.positions, mesh.faces)
    with pytest.raises(OSError):
        facet.write(tmp_path / "missing" / "x.obj", mesh.positions, mesh.faces)
    assert sorted(os.listdir(tmp_path)) == ["kept.ply"]  # no temporary left behind


def test_unreadable_files_raise_the_programs_line(tmp_path):
    broken = tmp_path / "broken.off"
    broken.write_text("OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 7\n")
    cases = [broken, tmp_path / "missing.obj"]
    for path in cases:
        program = run_program("info", path, check=False)
        assert program.returncode != 0
        for function in (facet.read, facet.info):
            with pytest.raises(OSError) as raised:
                function(path)
            assert program.stderr.strip() == "facet info: " + str(raised.value)


def test_a_file_without_faces_is_read_by_info_only(tmp_path):
    points = tmp_path / "points.obj"
    points.write_text("v 0 0 0\nv 1 0 0\n")
    assert facet.info(points) == program_json("info", points)
    with pytest.raises(OSError, match="no faces"):
        facet.read(points)


def test_attributes_come_back_as_written(tmp_path):
    positions = np.array([[0, 0, 0], [1, 0, 0], [0, 1, 0], [0, 0, 1]], np.float32)
    faces = np.array([[0, 1, 2], [0, 2, 3], [0, 3, 1]], np.uint32)
    normals = np.array([[0, 0, 1], [0, 1, 0], [1, 0, 0], [0.6, 0.8, 0]], np.float32)
    texcoords = np.array([[0, 0], [1, 0], [0, 1], [0.25, 0.75]], np.float32)
    colors = np.array([[255, 0, 0, 255], [0, 255, 0, 128], [0, 0, 255, 255], [1, 2, 3, 4]], np.uint8)
    for name, binary in [("a.ply", True), ("t.ply", False), ("a.off", False)]:
        path = tmp_path / name
        facet.write(path, positions, faces, normals=normals, texcoords=texcoords, colors=colors, binary=binary)
        mesh = facet.read(path)
        np.testing.assert_array_equal(mesh.positions, positions)
        np.testing.assert_array_equal(mesh.faces, faces)
        np.testing.assert_array_equal(mesh.normals, normals)
        np.testing.assert_array_equal(mesh.texcoords, texcoords)
        # 8-bit colours come back as k / 255, exactly.
        np.testing.assert_array_equal(mesh.colors, colors.astype(np.float32) / np.float32(255))
    # Float RGB colours are opaque, and OBJ keeps them without alpha.
    path = tmp_path / "c.obj"
    facet.write(path, positions, faces, colors=np.full((4, 3), 0.5, np.float32))
    np.testing.assert_array_equal(facet.read(path).colors, np.tile(np.float32([0.5, 0.5, 0.5, 1]), (4, 1)))
