"""Shared fixtures: the facet module, the facet program it is compared with, and real
meshes (libcgal-demo's OFF files, the STL files under tests/data, and PLY and OBJ copies
the program converts from them).

The module is found on PYTHONPATH, else in build/python; the program is FACET_PROGRAM,
else build/src/facet.
"""
import json
import os
import pathlib
import subprocess
import sys
import tarfile

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
sys.path.append(str(ROOT / "build" / "python"))  # after PYTHONPATH, which names another build
PROGRAM = os.environ.get("FACET_PROGRAM", str(ROOT / "build" / "src" / "facet"))
CGAL_TARBALL = pathlib.Path("/usr/share/doc/libcgal-dev/data.tar.gz")
# Scans and models of 19 Ki to 89 Ki faces, and meshes with known faults (random winding,
# split vertices, inside-out parts, zero-area faces).
CGAL_MESHES = ["bunny00", "fandisk_large", "blobby-shuffled", "boeing", "b9_mesh", "degtri_sliding"]
STL_FILES = ["Spider_binary.stl", "import.stl", "cube2.stl", "triangle_with_two_solids.stl"]


def run_program(*arguments, check=True):
    """Runs the facet program; its standard output, or the finished process with check=False."""
    done = subprocess.run([PROGRAM, *map(str, arguments)], capture_output=True, text=True)
    if check:
        assert done.returncode == 0, done.stderr
        return done.stdout
    return done


def program_json(*arguments):
    return json.loads(run_program(*arguments, "--json"))


@pytest.fixture(scope="session")
def real_meshes(tmp_path_factory):
    """Paths of real meshes in each format the readers take."""
    if not CGAL_TARBALL.exists():
        pytest.skip("libcgal-demo is not installed (scripts/setup installs it)")
    folder = tmp_path_factory.mktemp("meshes")
    with tarfile.open(CGAL_TARBALL) as tar:
        for name in CGAL_MESHES:
            member = tar.getmember(f"data/meshes/{name}.off")
            member.name = f"{name}.off"
            tar.extract(member, folder)
    paths = [folder / f"{name}.off" for name in CGAL_MESHES]
    paths += [ROOT / "tests" / "data" / "stl" / name for name in STL_FILES]
    ply = folder / "bunny00-binary.ply"
    run_program("convert", folder / "bunny00.off", ply, "--binary")
    obj = folder / "boeing.obj"
    run_program("convert", folder / "boeing.off", obj)
    return paths + [ply, obj]


@pytest.fixture(scope="session")
def bunny(real_meshes):
    return real_meshes[0]


@pytest.fixture(scope="session")
def seamed(real_meshes):
    """boeing: split vertices along seams, so welding changes the results."""
    return real_meshes[CGAL_MESHES.index("boeing")]
