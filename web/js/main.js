// The page: the window of the model as a web page. The run (the model
// compiled to WebAssembly) and its Timer1 live in a worker of their own
// (RunWorker.js), so that stepping never costs the page a frame; the page's
// handlers send it what the window's handlers do (start / stop, one step,
// "new Setup", the threshold edit's text whenever it changes, read there at
// every tick) and draw what it sends back: the picture as it arrives, the
// step label and, as often as its share of the time allows, the chart.
//
// URL parameters repeat a run: seed (0 to 4294967295: every setup places
// its agents from it, so the run is the run of dla-batch --seed), agents
// (the window's range: the first setup's population) and threshold (put
// into its edit as given), read by the engine (web/src/TPageSetup).
import { ContextMenu } from './ContextMenu.js';
import { ErrorDisplay } from './ErrorDisplay.js';
import { FreeAgentsChart } from './FreeAgentsChart.js';
import { RunClient } from './RunClient.js';
import { SpinEdit } from './SpinEdit.js';

const byId = (id) => document.getElementById(id);
const canvas = byId('DrawingImage');
const context = canvas.getContext('2d', { alpha: false });
const editAgents = byId('Edit_anzAg');
const editThreshold = byId('Edit_thresh');
const stepsLabel = byId('lbl_Steps');
const runNotice = byId('RunNotice');
const menuElement = byId('ContextMenu');

// The spin controls, made once the engine has told the defaults.
let spinAgents = null;
let spinThreshold = null;
let defaults = null;
const errors = new ErrorDisplay(byId('ErrorDialog'), byId('ErrorText'), () => {
  spinAgents?.cancelRepeat();
  spinThreshold?.cancelRepeat();
});
const chart = new FreeAgentsChart(byId('Chart1'), 280, 220);
// The measures chart: one measure of the aggregates, chosen from a list, by
// its column in the measures (aggregates, largest, mean size, gyration,
// dimension).
const measureChoice = byId('MeasureChoice');
const measuresChart = new FreeAgentsChart(byId('Chart2'), 280, 160,
  measureChoice.selectedOptions[0].textContent, 'blue');
const run = new RunClient(onReply, onTickError);

// The run's state as the worker last told it (RunWorker's state()).
let state = null;
// Whether Timer1 is on, as the page last switched it; the worker switches
// it off itself only when the run ends (state.ends counts those).
let running = false;
let interval = 1;
let endsSeen = 0;
// Setups asked for: what the worker sends of an earlier one is not charted.
let generation = 0;
// The threshold edit's text as last sent to the worker, and its number.
let thresholdSent = null;
let thresholdVersion = 0;
// Steps made when the step label was last set; calls whose ticks all
// succeeded, as last seen.
let madeShown = 0;
let succeededSeen = 0;
// A frame's request is out; the picture buffer to hand back with the next.
let frameAsked = false;
let spare = null;
// Counted for the page's own measurements (window.dlaPage.stats()).
const stats = { frames: 0, pictures: 0, steps: 0, firstPicture: null, endedAt: null };

// --- The worker's replies --------------------------------------------------------

function onReply({ state: reported, picture }) {
  state = reported;
  // A new lattice size: the canvas takes the drawing's pixels, and the page
  // scales it into the lattice's place.
  if (canvas.width !== state.width || canvas.height !== state.height) {
    canvas.width = state.width;
    canvas.height = state.height;
  }
  if (picture) drawPicture(picture);
  stats.steps = state.made;
  if (state.endedAt !== null) stats.endedAt = state.endedAt - performance.timeOrigin;
  if (state.ends > endsSeen) {
    endsSeen = state.ends;
    running = false;
  }
  // The step label shows the number of the last step made: a new setup
  // leaves it as it is until the next step.
  if (state.made > madeShown) {
    madeShown = state.made;
    stepsLabel.textContent = String(state.steps);
    runNotice.hidden = true;
    chart.invalidate();
    measuresChart.invalidate();
  }
  // A tick that went through re-arms the error display, as a handler that
  // returns normally does.
  if (state.succeeded > succeededSeen) {
    succeededSeen = state.succeeded;
    errors.rearm();
  }
}

// A tick failed in the worker: shown unless the text it read has been
// replaced since.
function onTickError(message, version, reported) {
  onReply({ state: reported });
  if (version === thresholdVersion) errors.show(message);
}

// The threshold edit's text goes to the worker whenever it changes; every
// tick there reads the text last sent.
function sendThreshold() {
  if (editThreshold.value === thresholdSent) return;
  thresholdSent = editThreshold.value;
  ++thresholdVersion;
  run.call('threshold', { text: thresholdSent, version: thresholdVersion });
}

// --- The handlers -------------------------------------------------------------

function newSetup() {
  chart.clear();
  measuresChart.clear();
  ++generation;
  return run.call('newSetup', { agents: spinAgents.readPosition() }).then(showSeed);
}

function start() {
  sendThreshold();
  running = true;
  return run.call('start');
}

function stop() {
  running = false;
  return run.call('stop');
}

function startStop() {
  return running ? stop() : start();
}

function resetValues() {
  editAgents.value = String(defaults.agents);
  editThreshold.value = defaults.threshold;
  sendThreshold();
}

// `count` steps while Timer1 is off (nothing while it runs); resolves to
// StepCount.
function stepOnce(count = 1) {
  if (running) return Promise.resolve(state.steps);
  sendThreshold();
  return run.call('step', { count });
}

function setSpeed(ms) {
  interval = ms;
  return run.call('speed', { ms });
}

// --- Pictures and files -------------------------------------------------------

function drawPicture(buffer) {
  context.putImageData(new ImageData(new Uint8ClampedArray(buffer), state.width, state.height), 0, 0);
  spare = buffer;
  ++stats.pictures;
  if (stats.firstPicture === null) stats.firstPicture = performance.now();
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
// dla-batch --picture for the same seed, settings and step (the worker's
// reply draws the picture of the step it names).
function savePicture() {
  return run.call('file', { what: 'picture' })
    .then(({ name }) => pngOf(canvas).then((blob) => download(blob, name)));
}

function copyPicture() {
  if (!navigator.clipboard?.write || typeof ClipboardItem === 'undefined') {
    throw new Error('This browser cannot copy pictures');
  }
  const png = run.call('file', { what: 'picture' }).then(() => pngOf(canvas));
  return navigator.clipboard.write([new ClipboardItem({ 'image/png': png })]);
}

function exportSeries() {
  return run.call('file', { what: 'series' })
    .then(({ name, text }) => download(new Blob([text], { type: 'text/csv' }), name));
}

function saveChart() {
  return run.call('file', { what: 'chart' })
    .then(({ name }) => pngOf(chart.snapshot()).then((blob) => download(blob, name)));
}

function exportMeasures() {
  return run.call('file', { what: 'measures' })
    .then(({ name, text }) => download(new Blob([text], { type: 'text/csv' }), name));
}

// A lattice size for the next "new Setup", as dla-batch's --size takes it;
// a size it refuses goes to the error display and changes nothing.
function setSize(text) {
  return run.call('size', { text });
}

function askSize() {
  const text = prompt('Lattice size in pixels, WIDTHxHEIGHT (at the next "new Setup"):',
    `${state.width}x${state.height}`);
  return text === null ? undefined : setSize(text);
}

// The address that opens this run as it stands: its seed, agents,
// threshold text, size and step.
function linkToRun() {
  return run.call('link').then(({ seed, agents, threshold, width, height, step }) => {
    const query = new URLSearchParams({ seed, agents, threshold, size: `${width}x${height}`, step });
    return `${location.origin}${location.pathname}?${query}`;
  });
}

function copyLink() {
  if (!navigator.clipboard?.writeText) throw new Error('This browser cannot copy text');
  return linkToRun().then((link) => navigator.clipboard.writeText(link));
}

function copySeed() {
  const seed = String(state.seed);
  if (!navigator.clipboard?.writeText) throw new Error('This browser cannot copy text');
  return navigator.clipboard.writeText(seed);
}

// --- The menu, the keys, the frame ----------------------------------------------

function showSeed() {
  const { seed } = state;
  menuElement.querySelector('[data-action="copySeed"]').textContent = `Copy seed ${seed}`;
  canvas.title = `Seed ${seed}\nRight-click: save or copy the picture (Ctrl+S), speed, one step`;
}

const actions = {
  savePicture, copyPicture, exportSeries, exportMeasures, saveChart, copySeed, copyLink, startStop, newSetup,
  stepOnce: () => stepOnce(1), askSize,
};

const menu = new ContextMenu(menuElement, (button) => errors.guard(() => {
  if (button.dataset.speed !== undefined) return setSpeed(Number(button.dataset.speed));
  return actions[button.dataset.action]();
}), () => {
  menuElement.querySelector('[data-action="stepOnce"]').disabled = running;
  for (const item of menuElement.querySelectorAll('[data-speed]')) {
    item.setAttribute('aria-checked', String(Number(item.dataset.speed) === interval));
  }
});
menu.attach(canvas);
menu.attach(byId('Chart1'));
menu.attach(byId('Chart2'));
measureChoice.addEventListener('change', () => {
  measuresChart.clear();
  measuresChart.setTitle(measureChoice.selectedOptions[0].textContent);
  measuresChart.invalidate();
  chart.invalidate();
});

byId('B_reset').addEventListener('click', () => errors.guard(resetValues));
byId('B_setup').addEventListener('click', () => errors.guard(newSetup));
byId('B_stop').addEventListener('click', () => errors.guard(startStop));
editThreshold.addEventListener('input', sendThreshold);
document.addEventListener('keydown', (event) => {
  // The browser's own keys (reload, new window, ...) stay the browser's.
  if (!(event.ctrlKey || event.metaKey) || event.altKey || event.key.toLowerCase() !== 's') return;
  event.preventDefault();
  errors.guard(event.shiftKey ? exportSeries : savePicture);
});

// Once a frame: the threshold's text if it changed (the arrows and the
// reset write the edit without an input event), and one request for what
// changed, the chart's outline when the chart is due; the picture comes
// with the reply and is drawn as it arrives.
function frame(now) {
  ++stats.frames;
  sendThreshold();
  if (!frameAsked) {
    frameAsked = true;
    // Both charts are drawn together, when the free agents' is due.
    const outline = chart.due(now);
    if (outline) measuresChart.changed = false;
    const give = spare;
    spare = null;
    const asked = generation;
    const measure = Number(measureChoice.value);
    run.call('frame', { outline, measure }, give).then((points) => {
      if (!outline) return;
      if (points && state.generation === asked && asked === generation) {
        chart.show(points.free);
        if (measure === Number(measureChoice.value)) measuresChart.show(points.measure);
      } else {
        chart.skip();
      }
    }).catch((error) => errors.show(error.message)).finally(() => {
      frameAsked = false;
    });
  }
  requestAnimationFrame(frame);
}

// --- Start-up -------------------------------------------------------------------

async function startUp() {
  const { defaults: given, setup: asked, refused } = await run.call('init', { query: location.search });
  defaults = given;
  spinAgents = new SpinEdit(editAgents, editAgents.nextElementSibling.children, defaults.agentsSpin);
  spinThreshold = new SpinEdit(editThreshold, editThreshold.nextElementSibling.children, defaults.thresholdSpin);
  const setup = asked ?? { seed: null, agents: null, threshold: null };
  if (refused !== undefined) {
    errors.show(refused);
    // Once the dialog is closed, the page still says why nothing runs.
    stepsLabel.textContent = '0';
    runNotice.textContent = `The run waits: the address was refused (${refused}). `
      + 'Mend it, or press start / stop to run without its parameters.';
    runNotice.hidden = false;
  }
  if (setup.agents !== null) spinAgents.setPosition(setup.agents);
  if (setup.threshold !== null) editThreshold.value = setup.threshold;
  // The window's creation switches Timer1 on; a bad URL keeps the page
  // still, so that no other run passes for the one asked for.
  // A link to a run as it stood (step=) opens at that step, stopped.
  running = refused === undefined && setup.step === null;
  thresholdSent = editThreshold.value;
  ++thresholdVersion;
  ++generation;
  await run.call('create', {
    width: setup.size?.width ?? canvas.width, height: setup.size?.height ?? canvas.height,
    seed: setup.seed, agents: spinAgents.readPosition(),
    text: thresholdSent, version: thresholdVersion, start: running, step: setup.step,
  });
  if (setup.step !== null) stepsLabel.textContent = String(state.steps);
  showSeed();
  requestAnimationFrame(frame);
}

// For tests and measurements: the page's own handlers, and what it counted.
// What changes the run returns a promise that settles once the worker has
// answered (and its picture is drawn).
window.dlaPage = {
  ready: startUp().catch((error) => {
    errors.show(`The model could not start in this browser: ${error.message}`);
    throw error;
  }),
  running: () => running,
  stop,
  start,
  // The step-once action `count` times (while stopped); resolves to StepCount.
  stepOnce,
  newSetup,
  setSpeed,
  // Settles once every command sent before has been answered.
  sync: () => run.call('frame', { outline: false }),
  stepCount: () => state.steps,
  seed: () => state.seed,
  csv: () => run.call('file', { what: 'series' }).then(({ text }) => text),
  measuresCsv: () => run.call('file', { what: 'measures' }).then(({ text }) => text),
  // As the menu's size entry: a refused size goes to the error display.
  setSize: (text) => errors.guard(() => setSize(text)),
  link: linkToRun,
  chartPoints: () => chart.points,
  workerResources: () => run.call('resources'),
  stats: () => ({ ...stats, errorsShown: errors.shown, errorsDropped: errors.dropped }),
};
