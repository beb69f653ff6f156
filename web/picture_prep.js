// The spectrum picture's pieces that hold no state of a picture: colours,
// sorted searches, tick steps, the panels' widths and the module's data
// sorted once per show. Every room of the picture takes them from here, so
// this file loads before the others.
function zelmarPicturePrep() {
  "use strict";
  const PALETTE = ["#1f6fb4", "#d55e00", "#009e73", "#b8489a", "#8c6d00", "#2a9fd6", "#6a3d9a", "#5f6b12"];
  const FONT = 'system-ui, "Hiragino Sans", "Yu Gothic", sans-serif';
  const NAVY = "#20324a";
  const GAP = 8;            // px between panels
  const colour = (g) => (g === null || g === undefined ? NAVY : PALETTE[g % PALETTE.length]);
  const overlaps = (lo, hi, v) => hi >= v.lo && lo <= v.hi;

  function lowerBound(a, value) {
    let lo = 0, hi = a.length;
    while (lo < hi) { const m = (lo + hi) >> 1; if (a[m] < value) lo = m + 1; else hi = m; }
    return lo;
  }
  function upperBound(a, value) {
    let lo = 0, hi = a.length;
    while (lo < hi) { const m = (lo + hi) >> 1; if (a[m] <= value) lo = m + 1; else hi = m; }
    return lo;
  }
  // The values in ascending order with where each came from.
  function sortedBy(values) {
    const idx = Array.from(values.keys()).sort((a, b) => values[a] - values[b]);
    return { vals: Float64Array.from(idx, (i) => values[i]), idx: Int32Array.from(idx) };
  }
  function niceStep(raw, mantissas) {
    const p = Math.pow(10, Math.floor(Math.log10(raw)));
    for (const m of mantissas) if (m * p >= raw) return m * p;
    return 10 * p;
  }
  function decimalsOf(step) {
    for (let d = 0; d < 6; d++) if (Math.abs(step * 10 ** d - Math.round(step * 10 ** d)) < 1e-6) return d;
    return 6;
  }
  function el(tag, cls, text) {
    const e = document.createElement(tag);
    if (cls) e.className = cls;
    if (text !== undefined) e.textContent = text;
    return e;
  }

  // Widths follow the panels' spans, but with several panels none gets less
  // than a quarter, so a narrow band beside a wide one stays readable.
  function panelRects(panels, x0, x1) {
    const n = panels.length, avail = x1 - x0 - GAP * (n - 1);
    const spans = panels.map((p) => Math.max(p.high - p.low, 1e-9));
    const least = n > 1 ? Math.min(avail * 0.25, avail / n) : 0;
    const raised = spans.map(() => false);
    let widths = [];
    for (let round = 0; round <= n; round++) {
      const free = avail - least * raised.filter(Boolean).length;
      const span = spans.reduce((s, v, i) => s + (raised[i] ? 0 : v), 0);
      widths = spans.map((v, i) => (raised[i] ? least : (free * v) / span));
      const narrow = widths.findIndex((w, i) => !raised[i] && w < least);
      if (narrow < 0) break;
      raised[narrow] = true;
    }
    let x = x0;
    return widths.map((w) => { const r = { x0: x, x1: x + w }; x += w + GAP; return r; });
  }

  // The module hands the scan's points as one array of numbers: MHz, dBm,
  // MHz, dBm, ... ascending by frequency.
  function prepareScan(scan) {
    if (!scan) return null;
    const n = scan.trace.length >> 1;
    const f = new Float64Array(n), level = new Float32Array(n);
    for (let i = 0; i < n; i++) {
      f[i] = scan.trace[2 * i];
      level[i] = scan.trace[2 * i + 1];
    }
    // Each scan's floor and threshold over its own span, drawn as lines.
    const parts = scan.scans;
    let min = Infinity, max = -Infinity;
    for (const l of level) { if (l < min) min = l; if (l > max) max = l; }
    for (const p of parts) {
      for (const l of [p.floor, p.threshold]) if (l !== null) { min = Math.min(min, l); max = Math.max(max, l); }
    }
    if (!Number.isFinite(min)) { min = -100; max = -50; }
    if (max - min < 10) { min -= 5; max += 5; }
    return { f, level, min, max, parts };
  }

  // Everything a frame needs, sorted once so a frame only binary-searches.
  function prepare(data) {
    const carriers = data.carriers;
    const order = sortedBy(carriers.map((c) => c.frequency));
    const byFamily = new Map(data.families.map((name) => [name, []]));
    data.products.forEach((p, i) => { if (byFamily.has(p.family)) byFamily.get(p.family).push(i); });
    const families = data.families.map((name) => {
      const mine = byFamily.get(name);
      const s = sortedBy(mine.map((i) => data.products[i].value));
      const idx = Int32Array.from(s.idx, (k) => mine[k]);
      const edge = (side) => Float64Array.from(carriers, (c) => (c.windows && c.windows[name] ? c.windows[name][side] : NaN));
      return { name, vals: s.vals, idx, broken: Uint8Array.from(idx, (i) => (data.products[i].broken ? 1 : 0)), lo: edge(0), hi: edge(1) };
    });
    const makes = carriers.map(() => []), suffers = carriers.map(() => []);
    data.products.forEach((p, i) => {
      new Set(p.terms).forEach((t) => makes[t].push(i));
      if (p.victim !== null && p.victim !== undefined) suffers[p.victim].push(i);
    });
    const inPanel = (f) => data.panels.some((p) => f >= p.low && f <= p.high);
    const reachable = Array.from(order.idx).filter((c) => inPanel(carriers[c].frequency));
    return {
      data, order, families, makes, suffers, reachable, scan: prepareScan(data.scan),
      shownFamilies: new Set(data.families), excludes: data.excludes.slice(),
      anySpare: carriers.some((c) => c.spare),
    };
  }

  return {
    FONT, NAVY, GAP, colour, overlaps, lowerBound, upperBound, niceStep, decimalsOf, el, panelRects, prepare,
  };
}
