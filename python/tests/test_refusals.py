"""Bad values: a ValueError that names the argument as Python calls it, for
exactly the values that dla-batch refuses on its command line (compared with
the built dla-batch, so that a change of its rules shows here); a TypeError
for a value of a type dla-batch has no text for; never a crash."""

import pandas as pd
import pytest

import dla
from conftest import dla_batch


def world_run(max_steps, **world):
    return dla.World(**world).run(max_steps)


WHOLE = "must be a whole number from"
# (what the module is given, the same values on dla-batch's command line,
# the module's words)
REFUSED = [
    (lambda: dla.World(agents=-1), ["--agents", "-1"],
     f"agents {WHOLE} 0 to 100000000, got -1"),
    (lambda: dla.World(agents=10**30), ["--agents", str(10**30)],
     f"agents {WHOLE} 0 to 100000000, got {10**30}"),
    (lambda: dla.World(agents=100_000_001), ["--agents", "100000001"],
     f"agents {WHOLE} 0 to 100000000, got 100000001"),
    (lambda: dla.World(threshold="1x"), ["--threshold", "1x"],
     "threshold: '1x' is not a valid integer value"),
    (lambda: dla.World(threshold="6 "), ["--threshold", "6 "],
     "threshold: '6 ' is not a valid integer value"),
    (lambda: dla.World(threshold=""), ["--threshold="], "threshold: '' is not a valid integer value"),
    (lambda: dla.World(threshold=2**31), ["--threshold", str(2**31)],
     "threshold: '2147483648' is not a valid integer value"),
    (lambda: dla.World(size=(2, 404)), ["--size", "2x404"],
     "size: the drawing area must be at least 3x3 pixels, got '2x404'"),
    (lambda: dla.World(size=(-404, 404)), ["--size", "-404x404"],
     "size: expected WIDTHxHEIGHT in pixels, got '-404x404'"),
    (lambda: dla.World(size=(16385, 16384)), ["--size", "16385x16384"],
     "size: the drawing area may hold at most 268435456 pixels, got '16385x16384'"),
    (lambda: dla.World(size="404*404"), ["--size", "404*404"],
     "size: expected WIDTHxHEIGHT in pixels, got '404*404'"),
    (lambda: dla.World(seed=-1), ["--seed", "-1"], f"seed {WHOLE} 0 to 4294967295, got -1"),
    (lambda: dla.World(seed=2**32), ["--seed", str(2**32)],
     f"seed {WHOLE} 0 to 4294967295, got 4294967296"),
    (lambda: dla.World(threads=257), ["--threads", "257"], f"threads {WHOLE} 0 to 256, got 257"),
    (lambda: world_run(-5, agents=10), ["--steps", "-5"],
     f"max_steps {WHOLE} 0 to 2147483647, got -5"),
    (lambda: world_run(2**31, agents=10), ["--steps", str(2**31)],
     f"max_steps {WHOLE} 0 to 2147483647, got 2147483648"),
    (lambda: dla.sweep(agents=[]), ["sweep", "--agents="], "agents: the list is empty"),
    (lambda: dla.sweep(agents="5..3"), ["sweep", "--agents", "5..3"],
     "agents: range '5..3' is reversed (it must run upwards)"),
    (lambda: dla.sweep(agents=[10, -1]), ["sweep", "--agents", "10,-1"],
     "agents: '-1' in '-1' is not a whole number from 0 to 100000000"),
    (lambda: dla.sweep(thresholds=[3, 70000]), ["sweep", "--threshold", "3,70000"],
     "thresholds: '70000' in '70000' is not a whole number from 0 to 65535"),
    (lambda: dla.sweep(thresholds="3..8:0"), ["sweep", "--threshold", "3..8:0"],
     "thresholds: step 0 in '3..8:0' never advances"),
    (lambda: dla.sweep(thresholds=range(0, 10001)), ["sweep", "--threshold", "0..10000"],
     "thresholds: '0..10000' holds more than 10000 values"),
    (lambda: dla.sweep(runs=0), ["sweep", "--runs", "0"], f"runs {WHOLE} 1 to 4294967296, got 0"),
    (lambda: dla.sweep(runs=10**9, thresholds=[1, 2]),
     ["sweep", "--runs", "1000000000", "--threshold", "1,2"],
     "the sweep holds 2000000000 runs, 2000000000 for this share; at most 100000000 per share"
     " (split it with shard=(i, n))"),
    (lambda: dla.sweep(jobs=0), ["sweep", "--jobs", "0"], f"jobs {WHOLE} 1 to 1024, got 0"),
    (lambda: dla.sweep(steps=-1), ["sweep", "--steps", "-1"], f"steps {WHOLE} 0 to 2147483647, got -1"),
    (lambda: dla.sweep(size=(3, 2)), ["sweep", "--size", "3x2"],
     "size: the drawing area must be at least 3x3 pixels, got '3x2'"),
    (lambda: dla.sweep(shard=(3, 2), seed=1), ["sweep", "--shard", "3/2", "--seed", "1"],
     "shard: I/N needs 1 <= I <= N, got '3/2'"),
    (lambda: dla.sweep(shard="1/2"), ["sweep", "--shard", "1/2"],
     "shard needs a seed, the same for every share"),
    (lambda: dla.sweep(partial="/no/such/folder/p.csv"), ["sweep", "--partial", "/no/such/folder/p.csv"],
     "partial: cannot write '/no/such/folder/p.csv': No such file or directory"),
    (lambda: dla.sweep(resume="/no/such/p.csv"), ["sweep", "--resume", "/no/such/p.csv"],
     "resume: cannot read '/no/such/p.csv': No such file or directory"),
    (lambda: dla.sweep(resume="/dev/zero"), ["sweep", "--resume", "/dev/zero"],
     "resume: '/dev/zero' is not a partial sweep file"),
    # Control bytes shown as escapes, as dla-batch shows them, and the whole
    # text kept, past a NUL byte too.
    (lambda: dla.World(threshold="6\n\x1b[31m"), ["--threshold", "6\n\x1b[31m"],
     "threshold: '6\\n\\x1b[31m' is not a valid integer value"),
    (lambda: dla.World(threshold="6\x00 and more"), None,
     "threshold: '6\\x00 and more' is not a valid integer value"),
]


@pytest.mark.parametrize("call,args,words", REFUSED)
def test_refusal_names_the_argument_where_dla_batch_refuses(call, args, words):
    if args is not None:
        done = dla_batch(*args, expect_ok=False)
        assert done.returncode == 2, done.stderr
        assert "--" in done.stderr
    with pytest.raises(ValueError) as refused:
        call()
    assert str(refused.value) == words
    assert "--" not in words


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
    assert done.stderr == f"dla-batch: --load-state: {refused.value}\n"


# A sweep that dla-batch leaves a partial file of: it fails halfway, its
# series unwritable.
PARTIAL_SWEEP = (
    dict(size=(60, 60), agents=[60, 100], thresholds=range(3, 10), runs=3, seed=5, steps=20000),
    ["--size", "60x60", "--agents", "60,100", "--threshold", "3..9", "--runs", "3", "--seed", "5",
     "--steps", "20000"],
)


@pytest.fixture
def partial(tmp_path):
    path = tmp_path / "partial.csv"
    done = dla_batch("sweep", *PARTIAL_SWEEP[1], "--series", "/dev/full", "--partial", path,
                     expect_ok=False)
    assert done.returncode == 1 and "; the rows of " in done.stderr, done.stderr
    return path


def test_a_partial_file_of_dla_batch_resumes_to_the_whole_sweep(partial):
    kwargs = PARTIAL_SWEEP[0]
    pd.testing.assert_frame_equal(dla.sweep(**kwargs, resume=partial), dla.sweep(**kwargs),
                                  check_exact=True)


@pytest.mark.parametrize(
    "kwargs,args,spoil,words",
    [
        (dict(thresholds=range(3, 9)), ["--threshold", "3..8"], None,
         "is the partial file of another sweep: thresholds 3..9 there, 3..8 here"),
        (dict(shard=(1, 2)), ["--shard", "1/2"], None,
         "is the partial file of another sweep: shard 1/1 there, 1/2 here"),
        ({}, [], lambda text: text.replace("\n60,3,5,", "\n60,3,5,1", 1),
         "is damaged: its content does not match its check"),
        ({}, [], lambda text: text[: text.rindex("\n", 0, -1) + 1], "is damaged: its first line says"),
    ],
    ids=["thresholds", "shard", "edited", "truncated"],
)
def test_a_partial_file_of_another_sweep_or_spoilt_is_refused_in_dla_batch_words(
        partial, kwargs, args, spoil, words):
    if spoil is not None:
        partial.write_text(spoil(partial.read_text()))
    with pytest.raises(ValueError) as refused:
        dla.sweep(**dict(PARTIAL_SWEEP[0], **kwargs), resume=partial)
    assert str(refused.value).startswith(f"resume: '{partial}' {words}")
    line = list(PARTIAL_SWEEP[1])
    for option, value in zip(args[::2], args[1::2]):
        if option in line:
            line[line.index(option) + 1] = value
        else:
            line += [option, value]
    done = dla_batch("sweep", *line, "--resume", partial, expect_ok=False)
    assert done.returncode == 2
    # dla-batch names its options where the module names its arguments.
    expected = str(refused.value).replace(" thresholds ", " --threshold ").replace(" shard ", " --shard ")
    assert done.stderr == f"dla-batch sweep: --{expected}\n"


@pytest.mark.parametrize("where", ["no/world.dla", "/dev/full"])
def test_a_world_saved_where_nothing_can_be_written_is_refused(tmp_path, where):
    path = tmp_path / where
    done = dla_batch("--save-state", path, "--steps", 0, expect_ok=False)
    assert done.returncode != 0
    with pytest.raises(ValueError) as refused:
        dla.World(agents=50, size=(30, 30), seed=1).save(path)
    # dla-batch names its option where the module names its method.
    assert done.stderr.replace("--save-state: ", "save: ") == f"dla-batch: {refused.value}\n"


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
        lambda: dla.World().step(True),
        lambda: dla.World().step("3"),
        lambda: dla.World().step(n=[]),
        lambda: dla.sweep(agents=[1000, None]),
        lambda: dla.sweep(thresholds=6.0),
        lambda: dla.sweep(shard=2),
        lambda: dla.sweep(client="notaclient"),
    ],
)
def test_values_of_other_types_are_type_errors(call):
    with pytest.raises(TypeError) as refused:
        call()
    # The module's words, not the binding's.
    assert "incompatible function arguments" not in str(refused.value)


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
