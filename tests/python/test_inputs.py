"""facet.read and facet.info of meshes in memory and in streams: the same mesh and counts as
from the file, the format told as the program tells that of its standard input, and bad
input refused with the reader's line."""
import io
import json
import subprocess
import sys

import numpy as np
import pytest

import facet
from conftest import PROGRAM, program_json

BROKEN_OFF = b"OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 7\n"


def without_file(info):
    return {key: value for key, value in info.items() if key != "file"}


def test_bytes_and_streams_give_what_the_file_gives(real_meshes):
    for path in real_meshes:
        expected = facet.read(path)
        info = program_json("info", path)
        data = path.read_bytes()
        # Binary STL starts with any 80 bytes: only its name or format= tells it.
        stl = {"format": "stl"} if path.suffix == ".stl" else {}
        for source in (data, bytearray(data), memoryview(data), io.BytesIO(data)):
            mesh = facet.read(source, **stl)
            np.testing.assert_array_equal(mesh.positions, expected.positions, err_msg=str(path))
            np.testing.assert_array_equal(mesh.faces, expected.faces, err_msg=str(path))
            assert mesh.format == expected.format
        assert facet.info(data, **stl) == without_file(info) | {"file": None}
        # Read data remembers what its reader counted.
        assert facet.info(facet.read(data, **stl)) == facet.info(data, **stl)
        # An open file is named by its path, which also gives its format.
        with open(path, "rb") as stream:
            assert facet.info(stream) == info


def test_the_format_is_told_from_the_first_bytes(bunny, tmp_path):
    data = bunny.read_bytes()
    assert facet.read(data).format == "OFF"
    ply = tmp_path / "bunny.ply"
    facet.write(ply, facet.read(bunny).positions, facet.read(bunny).faces)
    assert facet.read(ply.read_bytes()).format == "PLY"
    # format= comes first, in any case: OFF text read as OBJ holds no OBJ statement.
    with pytest.raises(ValueError, match="<bytes>: line 1"):
        facet.read(data, format="OBJ")


def test_standard_input_is_read_as_the_program_reads_it(real_meshes):
    script = "import json, sys, facet; print(json.dumps(facet.info(sys.stdin.buffer, format=sys.argv[1] or None)))"
    for path in real_meshes:
        with open(path, "rb") as stream:
            program = subprocess.run([PROGRAM, "info", "-", "--json"], stdin=stream, capture_output=True, text=True)
        with open(path, "rb") as stream:
            ours = subprocess.run([sys.executable, "-c", script, "stl" if path.suffix == ".stl" else ""],
                                  stdin=stream, capture_output=True, text=True)
        assert ours.returncode == 0, ours.stderr
        if program.returncode != 0:  # binary STL: the program cannot tell it either
            assert path.suffix == ".stl"
            continue
        assert without_file(json.loads(ours.stdout)) == without_file(json.loads(program.stdout)), path


def test_bad_data_raises_the_readers_line():
    program = subprocess.run([PROGRAM, "info", "-"], input=BROKEN_OFF, capture_output=True)
    line = program.stderr.decode().strip().removeprefix("facet info: standard input")
    for function in (facet.read, facet.info):
        for source in (BROKEN_OFF, io.BytesIO(BROKEN_OFF)):
            with pytest.raises(ValueError) as raised:
                function(source)
            assert str(raised.value).endswith(line)
    with pytest.raises(ValueError, match="not an OBJ, PLY, OFF or text STL file"):
        facet.read(b"\x00\x01 binary nonsense")
    with pytest.raises(ValueError, match="no faces"):
        facet.read(b"v 0 0 0\nv 1 0 0\n")
    assert facet.info(b"v 0 0 0\nv 1 0 0\n")["unreferenced_vertices"] == 2


def test_wrong_arguments_raise_and_leave_the_input_as_it_was(bunny):
    data = bytearray(bunny.read_bytes())
    kept = bytes(data)
    with pytest.raises(ValueError, match="format needs 'obj', 'ply', 'off' or 'stl'"):
        facet.read(data, format="dxf")
    with pytest.raises(TypeError, match="format needs"):
        facet.read(data, format=3)
    with pytest.raises(ValueError, match="format is for bytes and streams"):
        facet.read(bunny, format="off")
    with pytest.raises(ValueError, match="format is for bytes and streams"):
        facet.info(facet.read(bunny), format="off")
    with pytest.raises(TypeError, match="pass a binary stream"):
        facet.read(io.StringIO(kept.decode()))
    with pytest.raises(TypeError, match="pass a path"):
        facet.read(12)
    assert data == kept
    data.append(0)  # and the buffer was let go: it can grow again


class EndlessStream:
    """A stream that never ends, counting what was taken from it."""

    def __init__(self, chunk):
        self.chunk, self.taken = chunk, 0

    def read(self, size):
        self.taken += size
        return (self.chunk * (size // len(self.chunk) + 1))[:size]


def test_a_stream_of_the_wrong_kind_is_refused_at_its_start():
    for chunk in (b"\x00", b"\xff\xfeO\x00F\x00F\x00"):  # NUL bytes, UTF-16 text
        stream = EndlessStream(chunk)
        with pytest.raises(ValueError):
            facet.read(stream)
        assert stream.taken <= 65536
