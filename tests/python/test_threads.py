"""threads=: every function gives the same result on any number of threads, refuses counts
the program's --threads refuses, and keeps working across Python threads and fork()."""
import concurrent.futures
import multiprocessing
import os

import numpy as np
import pytest

import facet
from conftest import program_json

THREAD_COUNTS = [1, 2, 7]


@pytest.fixture(scope="module")
def large(bunny, seamed, tmp_path_factory):
    """Real meshes tiled to some 200 Ki vertices, past what the routines split into parts:
    four copies of the bunny, one of them twice at the same place (so that welding makes
    edges of four faces), and copies of the seamed model (so that welding changes things)."""
    parts = [(facet.read(bunny), offset) for offset in (0, 0, 1, 2, 3)]
    parts += [(facet.read(seamed), offset) for offset in range(4, 24)]
    positions, faces, base = [], [], 0
    for mesh, offset in parts:
        positions.append(mesh.positions + np.float32(offset * 1000))
        faces.append(mesh.faces + np.uint32(base))
        base += len(mesh.positions)
    positions, faces = np.concatenate(positions), np.concatenate(faces)
    path = tmp_path_factory.mktemp("large") / "large.ply"
    facet.write(path, positions, faces)
    return path, positions, faces


def results_on(threads, path, positions, faces):
    """Every function's result on `threads` threads, as plain values to compare."""
    def arrays(result):
        return [result[0], result[1], {k: v for k, v in result[2].items()}]
    return {
        "read": [facet.read(path, threads=threads).positions, facet.read(path, threads=threads).faces],
        "info file": facet.info(path, threads=threads),
        "info welded": facet.info(path, epsilon=0.01, threads=threads),
        "info arrays": facet.info(facet.MeshData(positions, faces), threads=threads),
        "weld": facet.weld(positions, threads=threads),
        "weld 0.01": facet.weld(positions, 0.01, threads=threads),
        "adjacency": facet.adjacency(faces, positions, threads=threads),
        "adjacency by index": facet.adjacency(faces, threads=threads),
        "adjacency 0.01": facet.adjacency(faces, positions, 0.01, threads=threads),
        "vertex_normals": facet.vertex_normals(positions, faces, threads=threads),
        "vertex_normals 0.01": facet.vertex_normals(positions, faces, 0.01, threads=threads),
        "optimize": arrays(facet.optimize(positions, faces, threads=threads)),
        "clean": arrays(facet.clean(positions, faces, threads=threads)),
    }


def assert_same(ours, theirs, where):
    if isinstance(ours, dict):
        assert ours.keys() == theirs.keys(), where
        for key in ours:
            assert_same(ours[key], theirs[key], f"{where}: {key}")
    elif isinstance(ours, (list, tuple)):
        for index, (a, b) in enumerate(zip(ours, theirs, strict=True)):
            assert_same(a, b, f"{where}[{index}]")
    elif isinstance(ours, np.ndarray):
        np.testing.assert_array_equal(ours, theirs, err_msg=where)
    else:
        assert ours == theirs, where


def test_results_are_the_same_on_any_number_of_threads(large):
    expected = results_on(1, *large)
    # The program's counts, which the routines' splitting must not change.
    assert expected["info file"] == program_json("info", large[0], "--threads", "1")
    assert expected["info welded"]["non_manifold_edges"] > 0
    for threads in THREAD_COUNTS[1:] + [None]:
        assert_same(results_on(threads, *large), expected, f"threads={threads}")


def test_thread_counts_the_program_refuses_raise():
    positions = np.eye(3, dtype=np.float32)
    for bad in (0, -1, 1025, 10**30):
        with pytest.raises(ValueError, match="threads needs a whole number from 1 to 1024"):
            facet.weld(positions, threads=bad)
    for bad in (2.0, "2", True):
        with pytest.raises(TypeError, match="threads needs a whole number"):
            facet.vertex_normals(positions, [[0, 1, 2]], threads=bad)
    # Any integer numpy gives is a whole number.
    assert facet.weld(positions, threads=np.int64(1024)).tolist() == [0, 1, 2]
    with pytest.raises(TypeError):
        facet.weld(positions, 0.0, 2)  # threads is a keyword: a third number is not taken for it


def test_calls_at_once_from_python_threads_each_get_their_own_pool(large):
    _, positions, faces = large
    expected = facet.adjacency(faces, positions, threads=1)
    counts = [2, 7, 2, 3, 7, 2, 2, 3] * 2
    with concurrent.futures.ThreadPoolExecutor(8) as pool:
        results = list(pool.map(lambda n: facet.adjacency(faces, positions, threads=n), counts))
    for threads, result in zip(counts, results):
        np.testing.assert_array_equal(result, expected, err_msg=f"threads={threads}")


def threads_running():
    return len(os.listdir("/proc/self/task"))


def weld_in_child(positions, expected, done):
    before = threads_running()
    same = bool((facet.weld(positions, threads=2) == expected).all())
    done.put((same, threads_running() - before))


@pytest.mark.skipif(not os.path.isdir("/proc/self/task"), reason="counts threads in /proc")
def test_a_forked_child_starts_threads_of_its_own(large):
    """fork() copies only the calling thread: the parent's kept pools have no workers in
    the child, which must make its own rather than work alone or wait for them."""
    _, positions, _ = large
    expected = facet.weld(positions, threads=2)  # the parent now keeps a pool of two
    context = multiprocessing.get_context("fork")
    done = context.Queue()
    child = context.Process(target=weld_in_child, args=(positions, expected, done))
    child.start()
    child.join(timeout=60)
    if child.is_alive():
        child.kill()
        pytest.fail("the forked child hung in facet.weld")
    assert child.exitcode == 0
    assert done.get(timeout=5) == (True, 1)  # the same welding, and one worker started
