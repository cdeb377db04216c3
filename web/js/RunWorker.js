// The run's own thread: a dedicated worker that holds the engine (one run,
// web/src/Exports.cpp) and its Timer1, so that stepping never takes a frame
// from the page. The page (RunClient) sends commands and, once an animation
// frame, a request for what changed; every reply carries the run's state,
// and the picture when it changed since the last one sent, in a buffer
// that is handed over rather than copied (and handed back for the next).
//
// Messages in: { id, op, ...arguments }; replies: { id, state, picture?,
// result? } or { id, state, error }. Without being asked: { tickError,
// version, state } when a tick failed, version being that of the threshold
// text the tick read, so that the page can tell a failure of a text it has
// since replaced.
import { Engine } from './Engine.js';
import { StepTimer } from './StepTimer.js';

let engine = null;
// The threshold edit's text as the page last sent it, read at every tick.
let thresholdText = '';
let thresholdVersion = 0;
// Setups made (create and each "new Setup"): the page drops what belongs
// to an earlier one.
let generation = 0;
// Steps made in any way, calls whose ticks all succeeded, and when the run
// ended (milliseconds since 1970, the clocks' common origin) and how often
// that switched the timer off.
let made = 0;
let succeeded = 0;
let endedAt = null;
let ends = 0;
let pictureChanged = true;
// The seed the page's address fixed for every setup (null: the clock's).
let seedGiven = null;
const buffers = [];

const timer = new StepTimer((count) => tick(count));

// `count` ticks, each reading the threshold text; the timer is switched off
// after a step in which no agent was free. False if a tick failed.
function tick(count) {
  const { made: steps, error } = engine.run(thresholdText, count);
  if (steps > 0) {
    made += steps;
    pictureChanged = true;
    if (!engine.lastAnyFree) {
      if (timer.active) ++ends;
      timer.stop();
      endedAt = performance.timeOrigin + performance.now();
    }
  }
  if (error) {
    postMessage({ tickError: error.message, version: thresholdVersion, state: state() });
    return false;
  }
  ++succeeded;
  return true;
}

function state() {
  if (generation === 0) return null;
  return {
    steps: engine.stepCount,
    made,
    succeeded,
    running: timer.active,
    interval: timer.interval,
    seed: engine.placementSeed,
    generation,
    endedAt,
    ends,
    width: engine.width,
    height: engine.height,
  };
}

// The picture's RGBA bytes in a buffer of their own, to be handed over.
function picture() {
  const bytes = engine.picture();
  let buffer = buffers.pop();
  if (!buffer || buffer.byteLength !== bytes.length) buffer = new ArrayBuffer(bytes.length);
  new Uint8Array(buffer).set(bytes);
  pictureChanged = false;
  return buffer;
}

// The lattice size the next "new Setup" makes (none: the world's own).
let nextSize = null;

const commands = {
  // The defaults every front end starts from and the setup the page's
  // address asks for (or why it was refused).
  init({ query }) {
    try {
      return { defaults: engine.defaults, setup: engine.readSetup(query) };
    } catch (error) {
      return { defaults: engine.defaults, refused: error.message };
    }
  },
  // The window's creation; with `step`, the run made to that step at once,
  // stopped (a link to a run as it stood). A tick that fails on the way ends
  // the replay there.
  create({ width, height, seed, agents, text, version, start, step }) {
    thresholdText = text;
    thresholdVersion = version;
    timer.stop();
    seedGiven = seed;
    engine.create(width, height, seed, agents);
    ++generation;
    pictureChanged = true;
    if (step !== null && step !== undefined) {
      // As dla-batch --steps: the run's end ends it sooner.
      while (engine.stepCount < step) {
        if (!tick(Math.min(step - engine.stepCount, StepTimer.MaxBatch)) || !engine.lastAnyFree) break;
      }
    } else if (start) {
      timer.start();
    }
  },
  threshold({ text, version }) {
    thresholdText = text;
    thresholdVersion = version;
  },
  start() {
    timer.start();
  },
  stop() {
    timer.stop();
  },
  speed({ ms }) {
    timer.setInterval(ms);
  },
  // A lattice size for the next "new Setup"; throws, changing nothing, for
  // a text dla-batch's --size refuses.
  size({ text }) {
    nextSize = engine.checkSize(text);
    return nextSize;
  },
  newSetup({ agents }) {
    if (nextSize && (nextSize.width !== engine.width || nextSize.height !== engine.height)) {
      engine.create(nextSize.width, nextSize.height, seedGiven, agents);
    } else {
      engine.newSetup(agents);
    }
    ++generation;
    pictureChanged = true;
  },
  // The step-once action `count` times while the timer is off (nothing
  // while it runs); a failed tick ends it. Returns StepCount.
  step({ count }) {
    if (!timer.active) {
      for (let left = count; left > 0;) {
        const n = Math.min(left, StepTimer.MaxBatch);
        if (!tick(n)) break;
        left -= n;
      }
    }
    return engine.stepCount;
  },
  // What an animation frame of the page needs: the series' outline when the
  // chart is due (the picture, when changed, comes with every reply).
  frame({ outline, measure }) {
    if (!outline) return null;
    return { free: engine.outline(), measure: measure === null ? null : engine.outline(measure) };
  },
  // A file of the run as it is now: its suggested name and, for the series,
  // its CSV text (the picture is the reply's, sent whether changed or not).
  file({ what }) {
    if (what === 'picture') pictureChanged = true;
    const text = what === 'series' ? engine.csv() : what === 'measures' ? engine.measuresCsv() : null;
    return { name: engine.suggestedName(what), text };
  },
  // What a link that repeats the run as it stands needs.
  link() {
    return {
      seed: engine.placementSeed, agents: engine.agentCount, threshold: engine.thresholdText,
      width: engine.width, height: engine.height, step: engine.stepCount,
    };
  },
  // What the worker downloaded itself (for measurements): name, bytes over
  // the wire, body bytes.
  resources() {
    return performance.getEntriesByType('resource').map((e) => [e.name, e.transferSize, e.encodedBodySize]);
  },
};

const ready = Engine.load().then((loaded) => {
  engine = loaded;
});

onmessage = async ({ data }) => {
  const { id, op, give } = data;
  if (give) buffers.push(give);
  try {
    await ready;
    const result = commands[op](data);
    const reply = { id, result, state: state() };
    const transfer = [];
    if (pictureChanged && generation > 0) {
      reply.picture = picture();
      transfer.push(reply.picture);
    }
    for (const points of [result?.free, result?.measure]) {
      if (points) transfer.push(points[0].buffer, points[1].buffer);
    }
    postMessage(reply, transfer);
  } catch (error) {
    postMessage({ id, error: error.message, state: engine ? state() : null });
  }
};
