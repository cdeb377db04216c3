// The page's Timer1: switched on and off like the window's timer, ticking
// every `interval` milliseconds of wall time, or as fast as the engine goes
// (interval 0, "fastest").
//
// Browsers clamp setTimeout and setInterval (to 1 ms, and to 4 ms once they
// nest), so a paced timer is not one browser timer per tick: every animation
// frame, the ticks due by performance.now() since the timer was started run
// together (about 17 at one a millisecond and 60 frames a second), so the
// pace is one tick per interval of wall time. A backlog of more than
// MaxBacklogMs (a frame the browser did not give, a hidden tab) is dropped,
// as a system timer drops the ticks it missed, rather than run in a burst.
// The fastest timer runs ticks in slices of SliceMs, each slice a task of its
// own (a MessageChannel message, which no browser clamps), so that frames
// and input come in between.
export class StepTimer {
  static MaxBacklogMs = 100;
  static SliceMs = 10;

  // onTicks(count) runs `count` ticks at once and returns nothing; what it
  // throws ends that call only (the timer stays on).
  constructor(onTicks) {
    this.onTicks = onTicks;
    this.active = false;
    this.interval = 1;
    this.origin = 0;
    this.ticks = 0;
    this.channel = new MessageChannel();
    this.channel.port1.onmessage = () => this.slice();
    this.slicing = false;
  }

  start() {
    if (this.active) return;
    this.active = true;
    this.restart();
  }

  stop() {
    this.active = false;
  }

  // Milliseconds between ticks: 1, 10, 33, 100; 0 for as fast as it goes.
  setInterval(ms) {
    this.interval = ms;
    if (this.active) this.restart();
  }

  restart() {
    this.origin = performance.now();
    this.ticks = 0;
    if (this.interval === 0) this.post();
  }

  // Runs the paced ticks due at this frame (nothing while off or fastest).
  frame(now) {
    if (!this.active || this.interval === 0) return;
    let due = Math.floor((now - this.origin) / this.interval) - this.ticks;
    if (due <= 0) return;
    const cap = Math.max(1, Math.floor(StepTimer.MaxBacklogMs / this.interval));
    if (due > cap) {
      this.ticks += due - cap;
      due = cap;
    }
    this.ticks += due;
    this.onTicks(due);
  }

  post() {
    if (this.slicing) return;
    this.slicing = true;
    this.channel.port2.postMessage(null);
  }

  slice() {
    this.slicing = false;
    if (!this.active || this.interval !== 0) return;
    const end = performance.now() + StepTimer.SliceMs;
    let batch = 8;
    try {
      do {
        const started = performance.now();
        this.onTicks(batch);
        // Batches of about a tenth of a millisecond: few calls, a slice
        // that ends close to its time.
        if (performance.now() - started < 0.1 && batch < 4096) batch *= 2;
      } while (this.active && this.interval === 0 && performance.now() < end);
    } finally {
      if (this.active && this.interval === 0) this.post();
    }
  }
}
