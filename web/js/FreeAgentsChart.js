// The free-agents chart: a uPlot line chart of the number of free agents
// against the step, titled "free agents". It draws the series' outline from
// the run's worker (at most a few thousand points however long the run),
// and only as often as keeps its share of the time within TimeShare.
export class FreeAgentsChart {
  static TimeShare = 0.05;

  // element: where the chart goes; width and height in CSS pixels; the
  // title and the line's colour (the measures chart uses this class too).
  constructor(element, width, height, title = 'free agents', stroke = 'red') {
    const whole = [];
    for (let scale = 1; scale <= 1e9; scale *= 10) whole.push(scale, 2 * scale, 5 * scale);
    const axis = {
      incrs: whole,
      stroke: '#000',
      grid: { stroke: '#ddd', width: 1 },
      ticks: { stroke: '#000', width: 1, size: 4 },
      font: '10px sans-serif',
    };
    this.plot = new uPlot({
      title,
      width,
      height,
      legend: { show: false },
      cursor: { show: false },
      scales: {
        x: { time: false, range: (u, min, max) => FreeAgentsChart.fit(min, max) },
        y: { range: (u, min, max) => FreeAgentsChart.fit(min, max) },
      },
      axes: [{ ...axis, size: 30 }, { ...axis, size: 44 }],
      series: [{}, { stroke, width: 1, points: { show: false } }],
    }, [[], []], element);
    this.changed = false;
    this.dueAt = 0;
    this.points = 0;
  }

  // [min, max] widened to round tick steps of whole numbers; a single value
  // v spans v - 1 to v + 1.
  static fit(min, max) {
    if (min == null || max == null) return [0, 1];
    if (min === max) return [min - 1, max + 1];
    const rough = (max - min) / 5;
    let step = 10 ** Math.floor(Math.log10(rough));
    if (rough / step > 5) step *= 10;
    else if (rough / step > 2) step *= 5;
    else if (rough / step > 1) step *= 2;
    step = Math.max(1, step);
    return [Math.floor(min / step) * step, Math.ceil(max / step) * step];
  }

  setTitle(title) {
    const element = this.plot.root.querySelector('.u-title');
    if (element) element.textContent = title;
  }

  // Something changed: the next due() may draw.
  invalidate() {
    this.changed = true;
  }

  // Empties the chart at once.
  clear() {
    this.plot.setData([[], []]);
    this.points = 0;
    this.changed = false;
    this.dueAt = 0;
  }

  // Whether the chart should be drawn now: something changed and it has
  // kept within TimeShare since its last drawing. The next due() is false
  // until show() has drawn.
  due(now) {
    if (!this.changed || now < this.dueAt) return false;
    this.changed = false;
    this.dueAt = Infinity;
    return true;
  }

  // Draws the outline ([steps, free agents]) that due() asked for.
  show(data) {
    const started = performance.now();
    this.points = data[0].length;
    this.plot.setData(data);
    // uPlot draws in a microtask of its own, queued before this one.
    queueMicrotask(() => {
      const cost = performance.now() - started;
      this.dueAt = started + cost / FreeAgentsChart.TimeShare;
    });
  }

  // due() asked, but no outline came (a setup since): asks again.
  skip() {
    this.changed = true;
    this.dueAt = 0;
  }

  // The chart as shown, title included, as a canvas of device pixels.
  snapshot() {
    const plot = this.plot.ctx.canvas;
    const root = this.plot.root;
    const title = root.querySelector('.u-title');
    const ratio = plot.width / this.plot.width;
    const titleHeight = Math.round((title?.offsetHeight ?? 0) * ratio);
    const canvas = document.createElement('canvas');
    canvas.width = plot.width;
    canvas.height = plot.height + titleHeight;
    const ctx = canvas.getContext('2d');
    ctx.fillStyle = '#fff';
    ctx.fillRect(0, 0, canvas.width, canvas.height);
    if (title) {
      ctx.fillStyle = '#000';
      ctx.font = getComputedStyle(title).font;
      ctx.scale(ratio, ratio);
      ctx.textAlign = 'center';
      ctx.textBaseline = 'middle';
      ctx.fillText(title.textContent, this.plot.width / 2, title.offsetHeight / 2);
      ctx.setTransform(1, 0, 0, 1, 0, 0);
    }
    ctx.drawImage(plot, 0, titleHeight);
    return canvas;
  }
}
