// The page's side of the run's worker (RunWorker.js): commands go to the
// worker in order and each answers with a promise of its result; every
// reply brings the run's state, and the picture when it changed, to
// onReply before the promise settles. A tick that failed in the worker
// comes to onTickError.
export class RunError extends Error {}

export class RunClient {
  // onReply({ state, picture }) sees every reply (picture may be absent);
  // onTickError(message, version, state) every failed tick.
  constructor(onReply, onTickError) {
    this.onReply = onReply;
    this.onTickError = onTickError;
    this.pending = new Map();
    this.nextId = 1;
    this.failure = null;
    this.worker = new Worker(new URL('./RunWorker.js', import.meta.url), { type: 'module' });
    this.worker.onmessage = ({ data }) => this.receive(data);
    // A worker that cannot start (no module workers, no WebAssembly) fails
    // every command, then and later.
    this.worker.onerror = (event) => {
      event.preventDefault();
      this.failure = new RunError(event.message || 'the engine\'s worker did not start');
      for (const { reject } of this.pending.values()) reject(this.failure);
      this.pending.clear();
    };
  }

  // Sends the command; resolves to its result after onReply has seen the
  // reply, rejects with a RunError carrying the worker's message. `give`:
  // a picture buffer handed back to the worker for reuse.
  call(op, args = {}, give = null) {
    if (this.failure) return Promise.reject(this.failure);
    const id = this.nextId++;
    return new Promise((resolve, reject) => {
      this.pending.set(id, { resolve, reject });
      this.worker.postMessage({ id, op, ...args, give }, give ? [give] : []);
    });
  }

  receive(data) {
    if (data.tickError !== undefined) {
      this.onTickError(data.tickError, data.version, data.state);
      return;
    }
    const waiting = this.pending.get(data.id);
    this.pending.delete(data.id);
    if (data.state) this.onReply(data);
    if (!waiting) return;
    if (data.error !== undefined) waiting.reject(new RunError(data.error));
    else waiting.resolve(data.result);
  }
}
