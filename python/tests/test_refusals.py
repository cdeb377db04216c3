"""Bad values: a ValueError with dla-batch's own words for the same value
(compared with the built dla-batch, so that a change of its wording shows
here), a TypeError for a value of a type dla-batch has no text for; never a
crash."""

import pytest

import dla
from conftest import dla_batch


def world_run(max_steps, **world):
    return dla.World(**world).run(max_steps)


# (what the module is given, the same values on dla-batch's command line)
REFUSED = [
    (lambda: dla.World(agents=-1), ["--agents", "-1"]),
    (lambda: dla.World(agents=10**30), ["--agents", str(10**30)]),
    (lambda: dla.World(agents=100_000_001), ["--agents", "100000001"]),
    (lambda: dla.World(threshold="1x"), ["--threshold", "1x"]),
    (lambda: dla.World(threshold="6 "), ["--threshold", "6 "]),
    (lambda: dla.World(threshold=""), ["--threshold="]),
    (lambda: dla.World(threshold=2**31), ["--threshold", str(2**31)]),
    (lambda: dla.World(size=(2, 404)), ["--size", "2x404"]),
    (lambda: dla.World(size=(-404, 404)), ["--size", "-404x404"]),
    (lambda: dla.World(size=(16385, 16384)), ["--size", "16385x16384"]),
    (lambda: dla.World(size="404*404"), ["--size", "404*404"]),
    (lambda: dla.World(seed=-1), ["--seed", "-1"]),
    (lambda: dla.World(seed=2**32), ["--seed", str(2**32)]),
    (lambda: world_run(-5, agents=10), ["--steps", "-5"]),
    (lambda: world_run(2**31, agents=10), ["--steps", str(2**31)]),
    (lambda: dla.sweep(agents=[]), ["sweep", "--agents="]),
    (lambda: dla.sweep(agents="5..3"), ["sweep", "--agents", "5..3"]),
    (lambda: dla.sweep(agents=[10, -1]), ["sweep", "--agents", "10,-1"]),
    (lambda: dla.sweep(thresholds=[3, 70000]), ["sweep", "--threshold", "3,70000"]),
    (lambda: dla.sweep(thresholds="3..8:0"), ["sweep", "--threshold", "3..8:0"]),
    (lambda: dla.sweep(thresholds=range(0, 10001)), ["sweep", "--threshold", "0..10000"]),
    (lambda: dla.sweep(runs=0), ["sweep", "--runs", "0"]),
    (lambda: dla.sweep(runs=10**9, thresholds=[1, 2]), ["sweep", "--runs", "1000000000", "--threshold", "1,2"]),
    (lambda: dla.sweep(jobs=0), ["sweep", "--jobs", "0"]),
    (lambda: dla.sweep(steps=-1), ["sweep", "--steps", "-1"]),
    (lambda: dla.sweep(size=(3, 2)), ["sweep", "--size", "3x2"]),
    (lambda: dla.sweep(shard=(3, 2), seed=1), ["sweep", "--shard", "3/2", "--seed", "1"]),
    (lambda: dla.sweep(shard=(1, 2)), ["sweep", "--shard", "1/2"]),
]


@pytest.mark.parametrize("call,args", REFUSED)
def test_refusal_has_dla_batch_words(call, args):
    done = dla_batch(*args, expect_ok=False)
    assert done.returncode == 2
    program = "dla-batch sweep" if args[0] == "sweep" else "dla-batch"
    with pytest.raises(ValueError) as refused:
        call()
    assert done.stderr == f"{program}: {refused.value}\n"


@pytest.mark.parametrize(
    "spoil",
    [
        lambda data: data[: len(data) // 2],
        lambda data: data[:40] + bytes([data[40] ^ 1]) + data[41:],
        lambda data: b"not a saved world",
    ],
    ids=["truncated", "corrupted", "foreign"],
)
def test_a_spoilt_saved_world_is_refused_with_dla_batch_words(tmp_path, spoil):
    path = tmp_path / "world.dla"
    dla.World(agents=50, size=(30, 30), seed=1).save(path)
    path.write_bytes(spoil(path.read_bytes()))
    done = dla_batch("--load-state", path, expect_ok=False)
    assert done.returncode == 2
    with pytest.raises(ValueError) as refused:
        dla.World.load(path)
    assert done.stderr == f"dla-batch: {refused.value}\n"


def test_a_world_saved_where_nothing_can_be_written_is_refused(tmp_path):
    path = tmp_path / "no" / "world.dla"
    done = dla_batch("--save-state", path, "--steps", 0, expect_ok=False)
    with pytest.raises(ValueError) as refused:
        dla.World(agents=50, size=(30, 30), seed=1).save(path)
    assert done.stderr == f"dla-batch: {refused.value}\n"


@pytest.mark.parametrize(
    "call",
    [
        lambda: dla.World(agents=2000.0),
        lambda: dla.World(agents=True),
        lambda: dla.World(agents="2000"),
        lambda: dla.World(threshold=6.5),
        lambda: dla.World(size=404),
        lambda: dla.World(size=(404, 404, 3)),
        lambda: dla.World(seed="1"),
        lambda: dla.World().run(1.5),
        lambda: dla.World().step(1.5),
        lambda: dla.sweep(agents=[1000, None]),
        lambda: dla.sweep(thresholds=6.0),
        lambda: dla.sweep(shard=2),
    ],
)
def test_values_of_other_types_are_type_errors(call):
    with pytest.raises(TypeError):
        call()


def test_module_refusals():
    with pytest.raises(ValueError, match="n must be 0 or more, got -1"):
        dla.World(agents=10).step(-1)
    with pytest.raises(TypeError, match="tasks only go with a client"):
        dla.sweep(agents=10, runs=1, seed=1, tasks=2)


def test_a_world_never_set_up_is_an_error_not_a_crash():
    world = dla.World.__new__(dla.World)
    for use in (lambda: world.step(), lambda: world.agents, lambda: world.picture()):
        with pytest.raises(AttributeError):
            use()
