// The spectrum picture's geometry: the rows' heights, the gutter, the
// panels' rectangles, MHz to pixels, and each panel's zoomed and panned
// view. Drawing, the tooltip and the input all place things by it, so it is
// a room of its own that none of them owns. It reads and writes the
// picture's shared state in `scene` (see picture.js).
function zelmarPictureViews(scene, prep) {
  "use strict";
  const { FONT, GAP, panelRects } = prep;
  const MIN_SPAN = 0.05;    // MHz: the narrowest view, two 25 kHz channels

  function rows() {
    const st = scene.st, narrow = scene.W < 480, scan = st && st.scan;
    const rowH = scan ? (narrow ? 14 : 16) : narrow ? 18 : 22;
    const famTop = 50, scanTop = famTop + (st ? st.families.length : 0) * rowH + 6;
    const plotBottom = scanTop + (scan ? (narrow ? 100 : 140) : 2);
    return { tvBottom: 14, bandTop: 16, labelY: 33, lineTop: 37, spareY: 42, famTop, rowH, scanTop, plotBottom, height: plotBottom + 20 };
  }
  function measureGutter() {
    const { ctx, st, texts } = scene;
    ctx.font = "10px " + FONT;
    const words = st.families.map((f) => texts.family[f.name] || f.name);
    if (st.anySpare) words.push(texts.spare);
    if (st.scan) words.push(String(Math.round(st.scan.min)));
    const widest = Math.max(20, ...words.map((w) => ctx.measureText(w).width));
    scene.gutter = Math.min(Math.ceil(widest) + 10, Math.floor(scene.W * 0.3));
  }
  function layout() {
    scene.L = rows();
    if (!scene.st) return;
    measureGutter();
    scene.rects = panelRects(scene.st.data.panels, scene.gutter, scene.W - 6);
  }
  function mapper(i) {
    const r = scene.rects[i], v = scene.views[i], k = (r.x1 - r.x0) / (v.hi - v.lo);
    return (f) => r.x0 + (f - v.lo) * k;
  }
  const crisp = (x) => (Math.floor(x * scene.S) + 0.5) / scene.S;
  function panelAt(x) {
    let best = 0;
    scene.rects.forEach((r, i) => { if (x >= r.x0 - GAP / 2) best = i; });
    return best;
  }

  function setView(i, lo, span) {
    const p = scene.st.data.panels[i], full = p.high - p.low;
    span = Math.min(Math.max(span, Math.min(MIN_SPAN, full)), full);
    lo = Math.max(p.low, Math.min(lo, p.high - span));
    scene.views[i] = { lo, hi: lo + span };
  }
  function zoomAt(i, x, factor) {
    const r = scene.rects[i], v = scene.views[i], span = v.hi - v.lo, t = (x - r.x0) / (r.x1 - r.x0);
    const newSpan = span / factor;
    setView(i, v.lo + t * span - t * newSpan, newSpan);
  }
  function pan(i, dx) {
    const r = scene.rects[i], v = scene.views[i], span = v.hi - v.lo;
    setView(i, v.lo - (dx * span) / (r.x1 - r.x0), span);
  }
  // Every panel at its full span.
  function fullViews() {
    return scene.st ? scene.st.data.panels.map((p) => ({ lo: p.low, hi: p.high })) : [];
  }
  // Pans the carrier's panel, keeping its zoom, until the carrier shows.
  function reveal(index) {
    const { st, views } = scene;
    const f = st.data.carriers[index].frequency;
    const i = st.data.panels.findIndex((p) => f >= p.low && f <= p.high);
    if (i < 0 || (f >= views[i].lo && f <= views[i].hi)) return;
    const span = views[i].hi - views[i].lo;
    setView(i, f - span / 2, span);
  }

  return { rows, layout, mapper, crisp, panelAt, setView, zoomAt, pan, fullViews, reveal };
}
