// The model as the page uses it: the engine compiled to WebAssembly
// (web/src/Exports.cpp), wrapped so that the page never handles its memory.
// Every rule of the model runs in there: the step, the reading of the
// threshold's text, the picture and the series' CSV.
import createEngine from '../dla-engine.js';

// An error the engine reported; message is the engine's own text, e.g.
// "'abc' is not a valid integer value".
export class EngineError extends Error {}

export class Engine {
  // Loads and compiles the engine; resolves to an Engine without a world.
  static async load() {
    return new Engine(await createEngine());
  }

  constructor(module) {
    this.m = module;
    this.encoder = new TextEncoder();
    this.decoder = new TextDecoder();
    const at = module._dla_defaults() / 4;
    const [agents, agentsMin, agentsMax, agentsStep, thresholdMin, thresholdMax, width, height] =
      module.HEAP32.slice(at, at + 8);
    const threshold = this.string(module._dla_default_threshold());
    // What every front end starts from (model/RunDefaults.h).
    this.defaults = {
      agents,
      threshold,
      width,
      height,
      agentsSpin: { min: agentsMin, max: agentsMax, increment: agentsStep, position: agents },
      thresholdSpin: { min: thresholdMin, max: thresholdMax, increment: 1, position: Number(threshold) },
    };
  }

  // { seed, agents, threshold, size, step } from the page's address query, each null
  // when absent; throws EngineError for a bad value or one given twice.
  readSetup(query) {
    this.check(this.m._dla_read_setup(this.putText(query)));
    const threshold = this.m._dla_setup_threshold();
    return {
      seed: this.m._dla_setup_has_seed() ? this.m._dla_setup_seed() >>> 0 : null,
      agents: this.m._dla_setup_agents() >= 0 ? this.m._dla_setup_agents() : null,
      threshold: threshold === 0 ? null : this.string(threshold),
      size: this.m._dla_setup_width() > 0
        ? { width: this.m._dla_setup_width(), height: this.m._dla_setup_height() } : null,
      step: this.m._dla_setup_step() >= 0 ? this.m._dla_setup_step() : null,
    };
  }

  // { width, height } of a lattice size's text, as dla-batch's --size reads
  // it; throws EngineError ("size: expected WIDTHxHEIGHT in pixels, got 'x'").
  checkSize(text) {
    this.check(this.m._dla_check_size(this.putText(text)));
    return { width: this.m._dla_size_width(), height: this.m._dla_size_height() };
  }

  // The name a file of the run is offered under: 'picture', 'series',
  // 'chart' or 'measures', as the window offers it.
  suggestedName(what) {
    return this.string(this.m._dla_suggested_name(['picture', 'series', 'chart', 'measures'].indexOf(what)));
  }

  // The window's creation: a world of width x height pixels and its first
  // setup of `agents` agents; seed (0 to 2^32 - 1) places every setup's
  // agents, null seeds them from the clock.
  create(width, height, seed, agents) {
    this.check(this.m._dla_create(width, height, seed === null ? 0 : 1, seed ?? 0, agents));
  }

  // "new Setup" of the model: the series emptied, StepCount 0, `agents` new agents.
  newSetup(agents) {
    this.check(this.m._dla_new_setup(agents));
  }

  // Up to `ticks` steps, each reading the threshold from `text`, stopping
  // after a step in which no agent was free. Returns { made, error }: the
  // steps made and, if a tick failed (before changing anything), its
  // EngineError.
  run(text, ticks) {
    const made = this.m._dla_run(this.putText(text), ticks);
    const message = this.string(this.m._dla_error());
    return { made, error: message === '' ? null : new EngineError(message) };
  }

  // Of the last step made.
  get lastAnyFree() { return this.m._dla_last_any_free() !== 0; }
  get lastFree() { return this.m._dla_last_free(); }

  get stepCount() { return this.m._dla_step_count(); }
  get placementSeed() { return this.m._dla_placement_seed() >>> 0; }
  get width() { return this.m._dla_width(); }
  get height() { return this.m._dla_height(); }
  get seriesCount() { return this.m._dla_series_count(); }
  get agentCount() { return this.m._dla_agent_count(); }
  // The threshold's text as the last step read it.
  get thresholdText() { return this.string(this.m._dla_threshold_text()); }

  // Draws the picture; returns its RGBA bytes, a view of the engine's
  // memory that is valid until the engine runs again.
  picture() {
    const at = this.m._dla_render();
    return new Uint8ClampedArray(this.m.HEAPU8.buffer, at, this.width * this.height * 4);
  }

  // The series as dla-batch prints it: "step,free_agents", then "N,F" lines.
  csv() {
    return this.string(this.m._dla_csv());
  }

  // The measures at every step as dla-batch --measures-series writes them.
  measuresCsv() {
    return this.string(this.m._dla_measures_csv());
  }

  // The series' bounded outline for the chart: [steps, free agents]; with a
  // measure's column (0 aggregates, 1 largest, 3 gyration, 4 dimension),
  // that measure's instead.
  outline(column = null) {
    const count = column === null ? this.m._dla_outline() : this.m._dla_measures_outline(column);
    const x = this.m._dla_outline_x() / 8, y = this.m._dla_outline_y() / 8;
    const heap = this.m.HEAPF64;
    return [heap.slice(x, x + count), heap.slice(y, y + count)];
  }

  check(status) {
    if (status < 0) throw new EngineError(this.string(this.m._dla_error()));
  }

  // Puts the text into the engine's text buffer as UTF-8; returns its length.
  putText(text) {
    const bytes = this.encoder.encode(text);
    const at = this.m._dla_text_buffer(bytes.length);
    this.m.HEAPU8.set(bytes, at);
    return bytes.length;
  }

  string(at) {
    const heap = this.m.HEAPU8;
    const end = heap.indexOf(0, at);
    return this.decoder.decode(heap.subarray(at, end));
  }
}
