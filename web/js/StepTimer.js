// The page's Timer1, in the run's worker: switched on and off like the
// window's timer, ticking every `interval` milliseconds of wall time, or as
// fast as the engine goes (interval 0, "fastest").
//
// Browsers clamp setTimeout (to 4 ms once it nests), so a paced timer is not
// one browser timer per tick: each time it wakes, the ticks due by
// performance.now() since the timer was started run together (about 4 at
// one a millisecond), so the pace is one tick per interval of wall time. A
// backlog of more than MaxBacklogMs (a throttled worker) is dropped, as a
// system timer drops the ticks it missed, rather than run in a burst.
//
// Ticks run in calls of at most MaxBatch steps: V8 compiles WebAssembly in a
// baseline tier first and swaps in the optimised code only for the next
// call, so one long call would stay slow throughout. Work runs in slices of
// at most SliceMs, each a task of its own (a MessageChannel message, which
// no browser clamps), so that the page's requests (pictures, commands) are
// answered in between.
export class StepTimer {
  static MaxBacklogMs = 100;
  static SliceMs = 4;
  static MaxBatch = 256;

  // onTicks(count) runs `count` ticks at once and returns false when a tick
  // failed (the slice then ends; the timer stays on).
  constructor(onTicks) {
    this.onTicks = onTicks;
    this.active = false;
    this.interval = 1;
    this.origin = 0;
    this.ticks = 0;
    this.batch = 8;
    this.timeout = null;
    this.posted = false;
    this.channel = new MessageChannel();
    this.channel.port1.onmessage = () => {
      this.posted = false;
      this.wake();
    };
  }

  start() {
    if (this.active) return;
    this.active = true;
    this.restart();
  }

  stop() {
    this.active = false;
    clearTimeout(this.timeout);
    this.timeout = null;
  }

  // Milliseconds between ticks: 1, 10, 33, 100; 0 for as fast as it goes.
  setInterval(ms) {
    this.interval = ms;
    if (this.active) this.restart();
  }

  restart() {
    this.origin = performance.now();
    this.ticks = 0;
    clearTimeout(this.timeout);
    this.timeout = null;
    if (this.interval === 0) this.post();
    else this.later();
  }

  post() {
    if (this.posted) return;
    this.posted = true;
    this.channel.port2.postMessage(null);
  }

  // Wakes when the next paced tick is due.
  later() {
    if (this.timeout !== null || this.posted) return;
    const dueAt = this.origin + (this.ticks + 1) * this.interval;
    this.timeout = setTimeout(() => {
      this.timeout = null;
      this.wake();
    }, Math.max(0, dueAt - performance.now()));
  }

  // `count` ticks in calls of a batch each, the batch grown while a call
  // takes under a tenth of a millisecond; stops at `end`. A failed tick
  // ends the call with the ticks due (as the window's timer, whose tick
  // failed, waits for the next). Returns the ticks not run and whether one
  // failed.
  run(count, end) {
    while (count > 0 && this.active) {
      const n = Math.min(count, this.batch);
      const started = performance.now();
      const ok = this.onTicks(n);
      count -= n;
      const now = performance.now();
      if (now - started < 0.1 && this.batch < StepTimer.MaxBatch) this.batch *= 2;
      else if (now - started > 1 && this.batch > 1) this.batch /= 2;
      if (!ok) return { left: 0, failed: true };
      if (now >= end) break;
    }
    return { left: count, failed: false };
  }

  wake() {
    if (!this.active) return;
    const now = performance.now();
    const end = now + StepTimer.SliceMs;
    if (this.interval === 0) {
      // Failing ticks are tried again a timer's wake later, not in a loop
      // that would flood the page with the same error.
      const { failed } = this.run(Infinity, end);
      if (!this.active || this.interval !== 0) return;
      if (failed) this.timeout = setTimeout(() => {
        this.timeout = null;
        this.wake();
      }, StepTimer.SliceMs);
      else this.post();
      return;
    }
    let due = Math.floor((now - this.origin) / this.interval) - this.ticks;
    const cap = Math.max(1, Math.floor(StepTimer.MaxBacklogMs / this.interval));
    if (due > cap) {
      this.ticks += due - cap;
      due = cap;
    }
    if (due > 0) {
      // Ticks left over (a slice's time ran out, or a tick failed) stay due.
      const { left } = this.run(due, end);
      this.ticks += due - left;
      if (left > 0 && this.active) {
        this.post();
        return;
      }
    }
    if (this.active && this.interval !== 0) this.later();
  }
}
