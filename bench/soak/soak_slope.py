"""The soaks' one summary: the least-squares slope of memory samples taken
after the first minute (start-up, first allocations and caches are done by
then), in MB per minute."""


def slope_per_minute(samples):
    """samples: (seconds, megabytes) pairs; None with fewer than two after
    the first minute."""
    late = [(t, m) for t, m in samples if t >= 60]
    n = len(late)
    if n < 2:
        return None
    sx = sum(t for t, _ in late)
    sy = sum(m for _, m in late)
    sxx = sum(t * t for t, _ in late)
    sxy = sum(t * m for t, m in late)
    return (n * sxy - sx * sy) / (n * sxx - sx * sx) * 60


def report(samples, what="rss"):
    """One line: duration, samples, the memory after a minute and at the
    end, and the slope."""
    slope = slope_per_minute(samples)
    after = next((m for t, m in samples if t >= 60), float("nan"))
    return (f"seconds={samples[-1][0]:.0f} samples={len(samples)} {what}_after_1_min_mb={after:.2f} "
            f"{what}_end_mb={samples[-1][1]:.2f} slope_mb_per_min="
            + ("too-short" if slope is None else f"{slope:.4f}"))
