// The page: the window of the model as a web page. It holds one engine
// (the model compiled to WebAssembly) and drives it from its handlers as the
// window does: Timer1 ticks a step, the buttons act between ticks, the
// threshold edit's text is read at every tick. What the handlers change is
// drawn once per animation frame, so drawing never costs a step.
//
// URL parameters repeat a run: seed (0 to 4294967295: every setup places
// its agents from it, so the run is the run of dla-batch --seed), agents
// (1 to 10000: the first setup's population) and threshold (put into its
// edit as given).
import { ContextMenu } from './ContextMenu.js';
import { Engine } from './Engine.js';
import { ErrorDisplay } from './ErrorDisplay.js';
import { FreeAgentsChart } from './FreeAgentsChart.js';
import { SpinEdit } from './SpinEdit.js';
import { StepTimer } from './StepTimer.js';

const byId = (id) => document.getElementById(id);
const canvas = byId('DrawingImage');
const context = canvas.getContext('2d', { alpha: false });
const editAgents = byId('Edit_anzAg');
const editThreshold = byId('Edit_thresh');
const stepsLabel = byId('lbl_Steps');
const menuElement = byId('ContextMenu');

const spinAgents = new SpinEdit(editAgents, editAgents.nextElementSibling.children,
  { min: 1, max: 10000, increment: 100, position: 2000 });
const spinThreshold = new SpinEdit(editThreshold, editThreshold.nextElementSibling.children,
  { min: 2, max: 10, increment: 1, position: 6 });
const errors = new ErrorDisplay(byId('ErrorDialog'), byId('ErrorText'), () => {
  spinAgents.cancelRepeat();
  spinThreshold.cancelRepeat();
});
const chart = new FreeAgentsChart(byId('Chart1'), 280, 220);
const timer = new StepTimer((ticks) => errors.guard(() => timerTick(ticks)));

let engine = null;
let pictureChanged = false;
// The number of the last step made, for the step label's next frame.
let lastStep = null;
// Counted for the page's own measurements (window.dlaPage.stats()).
const stats = { frames: 0, pictures: 0, steps: 0, firstPicture: null, endedAt: null };

// --- The URL's setup -------------------------------------------------------

// Plain decimal digits from min to max, as the window's options take them.
function decimal(name, text, min, max) {
  const value = /^\d{1,18}$/.test(text) ? Number(text) : -1;
  if (value < min || value > max) {
    throw new Error(`${name}: expected a whole number from ${min} to ${max}, got '${text}'`);
  }
  return value;
}

// { seed, agents, threshold } from the URL, each null when absent; throws
// for a bad value or one given twice (then the page keeps still on its
// defaults). Other parameters are left alone.
function urlSetup(params) {
  const setup = { seed: null, agents: null, threshold: null };
  for (const name of Object.keys(setup)) {
    if (params.getAll(name).length > 1) throw new Error(`${name} given twice`);
  }
  if (params.has('seed')) setup.seed = decimal('seed', params.get('seed'), 0, 4294967295);
  if (params.has('agents')) setup.agents = decimal('agents', params.get('agents'), 1, 10000);
  if (params.has('threshold')) {
    const text = params.get('threshold');
    try {
      engine.checkThreshold(text);
    } catch {
      throw new Error(`threshold: '${text}' is not a valid integer value`);
    }
    setup.threshold = text;
  }
  return setup;
}

// --- The handlers -------------------------------------------------------------

// `ticks` ticks of Timer1 at once, each one step: the threshold read from
// the edit (a text that is no integer fails the tick before anything
// changes), the step, the timer switched off after a step in which no agent
// was free; the step number and the chart's point are queued for the next
// frame.
function timerTick(ticks) {
  const { made, error } = engine.run(editThreshold.value, ticks);
  if (made > 0) {
    stats.steps += made;
    lastStep = engine.stepCount;
    pictureChanged = true;
    chart.invalidate();
    if (!engine.lastAnyFree) {
      timer.stop();
      stats.endedAt = performance.now();
    }
  }
  if (error) throw error;
}

function newSetup() {
  chart.clear();
  engine.newSetup(spinAgents.readPosition());
  showSeed();
  pictureChanged = true;
}

function startStop() {
  if (timer.active) timer.stop();
  else timer.start();
}

function resetValues() {
  editAgents.value = '2000';
  editThreshold.value = '6';
}

// One step while Timer1 is off (nothing while it runs).
function stepOnce() {
  if (!timer.active) timerTick(1);
}

function setSpeed(ms) {
  timer.setInterval(ms);
}

// --- Pictures and files -------------------------------------------------------

function drawPicture() {
  context.putImageData(new ImageData(engine.picture(), engine.width, engine.height), 0, 0);
  pictureChanged = false;
  ++stats.pictures;
  if (stats.firstPicture === null) stats.firstPicture = performance.now();
}

// "dla-seed<seed>-step<step><what>", as the window suggests.
function suggestedName(what) {
  return `dla-seed${engine.placementSeed}-step${engine.stepCount}${what}`;
}

function download(blob, name) {
  const link = document.createElement('a');
  link.href = URL.createObjectURL(blob);
  link.download = name;
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 60_000);
}

// The canvas' PNG; rejects when the browser cannot encode it.
function pngOf(source) {
  return new Promise((resolve, reject) => {
    source.toBlob((blob) => (blob ? resolve(blob) : reject(new Error('Cannot encode the picture as PNG'))), 'image/png');
  });
}

// Errors of an action that finishes later still go to the error display.
function later(promise) {
  promise.catch((error) => errors.show(error.message));
}

// The lattice's pixels as they are now, exactly: the same image as
// dla-batch --picture for the same seed, settings and step.
function savePicture() {
  drawPicture();
  const name = suggestedName('.png');
  later(pngOf(canvas).then((blob) => download(blob, name)));
}

function copyPicture() {
  drawPicture();
  if (!navigator.clipboard?.write || typeof ClipboardItem === 'undefined') {
    throw new Error('This browser cannot copy pictures');
  }
  later(navigator.clipboard.write([new ClipboardItem({ 'image/png': pngOf(canvas) })]));
}

function exportSeries() {
  download(new Blob([engine.csv()], { type: 'text/csv' }), suggestedName('-free-agents.csv'));
}

function saveChart() {
  const name = suggestedName('-chart.png');
  later(pngOf(chart.snapshot()).then((blob) => download(blob, name)));
}

function copySeed() {
  const seed = String(engine.placementSeed);
  if (navigator.clipboard?.writeText) {
    later(navigator.clipboard.writeText(seed));
  } else {
    throw new Error('This browser cannot copy text');
  }
}

// --- The menu, the keys, the frame ----------------------------------------------

function showSeed() {
  const seed = engine.placementSeed;
  menuElement.querySelector('[data-action="copySeed"]').textContent = `Copy seed ${seed}`;
  canvas.title = `Seed ${seed}\nRight-click: save or copy the picture (Ctrl+S), speed, one step`;
}

const actions = { savePicture, copyPicture, exportSeries, saveChart, copySeed, stepOnce, startStop, newSetup };

const menu = new ContextMenu(menuElement, (button) => errors.guard(() => {
  if (button.dataset.speed !== undefined) setSpeed(Number(button.dataset.speed));
  else actions[button.dataset.action]();
}), () => {
  menuElement.querySelector('[data-action="stepOnce"]').disabled = timer.active;
  for (const item of menuElement.querySelectorAll('[data-speed]')) {
    item.setAttribute('aria-checked', String(Number(item.dataset.speed) === timer.interval));
  }
});
menu.attach(canvas);
menu.attach(byId('Chart1'));

byId('B_reset').addEventListener('click', () => errors.guard(resetValues));
byId('B_setup').addEventListener('click', () => errors.guard(newSetup));
byId('B_stop').addEventListener('click', () => errors.guard(startStop));
document.addEventListener('keydown', (event) => {
  // The browser's own keys (reload, new window, ...) stay the browser's.
  if (!(event.ctrlKey || event.metaKey) || event.altKey || event.key.toLowerCase() !== 's') return;
  event.preventDefault();
  errors.guard(event.shiftKey ? exportSeries : savePicture);
});

function frame(now) {
  ++stats.frames;
  timer.frame(performance.now());
  if (pictureChanged) drawPicture();
  if (lastStep !== null) {
    stepsLabel.textContent = String(lastStep);
    lastStep = null;
  }
  chart.refreshIfDue(now, () => engine.outline());
  requestAnimationFrame(frame);
}

// --- Start-up -------------------------------------------------------------------

async function start() {
  engine = await Engine.load();
  let setup = { seed: null, agents: null, threshold: null };
  let usable = true;
  try {
    setup = urlSetup(new URLSearchParams(location.search));
  } catch (error) {
    usable = false;
    errors.show(error.message);
  }
  if (setup.agents !== null) spinAgents.setPosition(setup.agents);
  if (setup.threshold !== null) editThreshold.value = setup.threshold;
  // The window's creation switches Timer1 on; a bad URL keeps the page
  // still, so that no other run passes for the one asked for.
  if (usable) timer.start();
  engine.create(canvas.width, canvas.height, setup.seed, spinAgents.readPosition());
  showSeed();
  drawPicture();
  requestAnimationFrame(frame);
}

// For tests and measurements: the page's own handlers, and what it counted.
window.dlaPage = {
  ready: start().catch((error) => {
    errors.show(`The model could not start in this browser: ${error.message}`);
    throw error;
  }),
  running: () => timer.active,
  stop: () => timer.stop(),
  start: () => timer.start(),
  // The step-once action `count` times (while stopped); returns StepCount.
  stepOnce: (count = 1) => {
    for (let i = 0; i < count; ++i) errors.guard(stepOnce);
    return engine.stepCount;
  },
  newSetup: () => errors.guard(newSetup),
  setSpeed,
  stepCount: () => engine.stepCount,
  seed: () => engine.placementSeed,
  csv: () => engine.csv(),
  chartPoints: () => chart.points,
  drawNow: drawPicture,
  stats: () => ({ ...stats, errorsShown: errors.shown, errorsDropped: errors.dropped }),
};
