// The spectrum picture: carriers, their intermodulation windows and products,
// TV channels, bands, exclusions and a scan, in side-by-side panels that zoom
// and pan on their own. Every frequency comes from the module's data; this
// file only maps MHz to pixels (and picks tick steps, which are drawing).
//
// create(container, texts) takes the words it shows from the page:
//   zoomIn, zoomOut, reset   toolbar buttons (reset is also shown as text)
//   picture                  the canvas's accessible name
//   family                   { "2tx3", "3tx3", "2tx5" }: short row names
//   makes, suffers, closest  tooltip headings: products this carrier is a
//                            term of, products falling on it, closest ones
//   group, band              tooltip field names
//   spare, fixed             carrier kinds (spare also names the spare row)
//   scanLevel, threshold     the scan's scale title and threshold label
//   none                     a family without a closest product
function zelmarPicture() {
  "use strict";
  const PALETTE = ["#1f6fb4", "#d55e00", "#009e73", "#b8489a", "#8c6d00", "#2a9fd6", "#6a3d9a", "#5f6b12"];
  const FONT = 'system-ui, "Hiragino Sans", "Yu Gothic", sans-serif';
  const NAVY = "#20324a", PRODUCT = "#5d6b7e", BROKEN = "#d0021b", LINE = "#b9bec6";
  const MIN_SPAN = 0.05;    // MHz: the narrowest view, two 25 kHz channels
  const GAP = 8;            // px between panels
  const PRINT_WIDTH = 680;  // CSS px of 180 mm, an A4 portrait page's text
  const LIST_MAX = 8;       // products listed per tooltip section
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
    let min = scan.threshold, max = scan.threshold;
    for (const l of level) { if (l < min) min = l; if (l > max) max = l; }
    if (max - min < 10) { min -= 5; max += 5; }
    return { f, level, min, max, threshold: scan.threshold };
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

  function create(container, initialTexts) {
    let texts = initialTexts;
    let st = null, views = [], rects = [], L = null;
    let W = 0, H = 0, S = 1, gutter = 0, frame = 0, printing = false;
    let selected = null, selectedBy = null;
    const view = { lastDrawMs: 0 };

    const root = el("div", "zp zp-empty");
    const bar = el("div", "zp-bar");
    bar.setAttribute("role", "toolbar");
    const button = (symbol, action) => {
      const b = el("button", "zp-button", symbol);
      b.type = "button";
      b.addEventListener("click", action);
      bar.append(b);
      return b;
    };
    const buttons = { zoomOut: button("−", () => zoomAll(0.5)), zoomIn: button("+", () => zoomAll(2)), reset: button("↺", resetAll) };
    const stage = el("div", "zp-stage");
    const canvas = el("canvas", "zp-canvas");
    canvas.tabIndex = 0;
    canvas.setAttribute("role", "img");
    const tip = el("div", "zp-tip");
    tip.hidden = true;
    tip.setAttribute("aria-live", "polite");
    const legend = el("ul", "zp-legend");
    stage.append(canvas, tip);
    root.append(bar, stage, legend);
    container.append(root);
    const ctx = canvas.getContext("2d");
    const hatch = hatchPattern();

    function hatchPattern() {
      const c = document.createElement("canvas");
      c.width = c.height = 6;
      const g = c.getContext("2d");
      g.fillStyle = "rgba(32,50,74,0.07)";
      g.fillRect(0, 0, 6, 6);
      g.strokeStyle = "rgba(32,50,74,0.3)";
      g.beginPath(); g.moveTo(0, 6); g.lineTo(6, 0); g.moveTo(-1, 1); g.lineTo(1, -1); g.moveTo(5, 7); g.lineTo(7, 5); g.stroke();
      return ctx.createPattern(c, "repeat");
    }

    // ---- geometry ----------------------------------------------------------
    function rows() {
      const narrow = W < 480, scan = st && st.scan;
      const rowH = scan ? (narrow ? 14 : 16) : narrow ? 18 : 22;
      const famTop = 50, scanTop = famTop + (st ? st.families.length : 0) * rowH + 6;
      const plotBottom = scanTop + (scan ? (narrow ? 100 : 140) : 2);
      return { tvBottom: 14, bandTop: 16, labelY: 33, lineTop: 37, spareY: 42, famTop, rowH, scanTop, plotBottom, height: plotBottom + 20 };
    }
    function measureGutter() {
      ctx.font = "10px " + FONT;
      const words = st.families.map((f) => texts.family[f.name] || f.name);
      if (st.anySpare) words.push(texts.spare);
      if (st.scan) words.push(String(Math.round(st.scan.min)));
      const widest = Math.max(20, ...words.map((w) => ctx.measureText(w).width));
      gutter = Math.min(Math.ceil(widest) + 10, Math.floor(W * 0.3));
    }
    function layout() {
      L = rows();
      if (!st) return;
      measureGutter();
      rects = panelRects(st.data.panels, gutter, W - 6);
    }
    function mapper(i) {
      const r = rects[i], v = views[i], k = (r.x1 - r.x0) / (v.hi - v.lo);
      return (f) => r.x0 + (f - v.lo) * k;
    }
    const crisp = (x) => (Math.floor(x * S) + 0.5) / S;
    function panelAt(x) {
      let best = 0;
      rects.forEach((r, i) => { if (x >= r.x0 - GAP / 2) best = i; });
      return best;
    }

    // ---- views -------------------------------------------------------------
    function setView(i, lo, span) {
      const p = st.data.panels[i], full = p.high - p.low;
      span = Math.min(Math.max(span, Math.min(MIN_SPAN, full)), full);
      lo = Math.max(p.low, Math.min(lo, p.high - span));
      views[i] = { lo, hi: lo + span };
    }
    function zoomAt(i, x, factor) {
      const r = rects[i], v = views[i], span = v.hi - v.lo, t = (x - r.x0) / (r.x1 - r.x0);
      const newSpan = span / factor;
      setView(i, v.lo + t * span - t * newSpan, newSpan);
    }
    function pan(i, dx) {
      const r = rects[i], v = views[i], span = v.hi - v.lo;
      setView(i, v.lo - (dx * span) / (r.x1 - r.x0), span);
    }
    function zoomAll(factor) {
      if (!st) return;
      rects.forEach((r, i) => zoomAt(i, (r.x0 + r.x1) / 2, factor));
      invalidate();
    }
    function resetAll() {
      if (!st) return;
      views = st.data.panels.map((p) => ({ lo: p.low, hi: p.high }));
      invalidate();
    }
    // Pans the carrier's panel, keeping its zoom, until the carrier shows.
    function reveal(index) {
      const f = st.data.carriers[index].frequency;
      const i = st.data.panels.findIndex((p) => f >= p.low && f <= p.high);
      if (i < 0 || (f >= views[i].lo && f <= views[i].hi)) return;
      const span = views[i].hi - views[i].lo;
      setView(i, f - span / 2, span);
    }

    // ---- drawing -----------------------------------------------------------
    function invalidate() {
      if (!frame) frame = requestAnimationFrame(() => { frame = 0; draw(); });
    }
    function resize(width, height, scale) {
      W = width; H = height; S = scale;
      const w = Math.round(W * S), h = Math.round(H * S);
      if (canvas.width !== w) canvas.width = w;
      if (canvas.height !== h) canvas.height = h;
      canvas.style.height = H + "px";
    }
    function fit() {
      if (printing) return;
      W = Math.max(1, Math.floor(stage.clientWidth));
      resize(W, rows().height, window.devicePixelRatio || 1);
      draw();
    }
    function draw() {
      const t0 = performance.now();
      ctx.setTransform(S, 0, 0, S, 0, 0);
      ctx.clearRect(0, 0, W, H);
      layout();
      if (st && W >= 60) {
        rects.forEach((r, i) => drawPanel(i));
        drawGutter();
        drawBreaks();
        drawScanTitles();
        placeTip();
      }
      view.lastDrawMs = performance.now() - t0;
    }
    function ticks(i, minPx, mantissas) {
      const v = views[i], r = rects[i];
      const step = niceStep(((v.hi - v.lo) * minPx) / (r.x1 - r.x0), mantissas);
      const out = [];
      for (let k = Math.ceil(v.lo / step - 1e-9); k * step <= v.hi + 1e-9; k++) out.push(k * step);
      return { step, values: out };
    }
    function drawPanel(i) {
      const r = rects[i], v = views[i], px = mapper(i);
      ctx.font = "10px " + FONT;
      const axis = ticks(i, ctx.measureText(v.hi.toFixed(3)).width + 18, [1, 2, 2.5, 5]);
      ctx.save();
      ctx.beginPath();
      ctx.rect(r.x0, 0, r.x1 - r.x0, L.plotBottom);
      ctx.clip();
      ctx.fillStyle = "#fff";
      ctx.fillRect(r.x0, 0, r.x1 - r.x0, L.plotBottom);
      drawGrid(axis.values, px, r);
      drawTv(v, px, r);
      drawExcludes(v, px);
      drawBands(v, px);
      if (st.scan) drawScan(i, px);
      drawFamilies(v, px, r);
      drawCarriers(v, px, r);
      ctx.restore();
      ctx.strokeStyle = LINE;
      ctx.lineWidth = 1;
      ctx.strokeRect(crisp(r.x0), 0.5, Math.round(r.x1 - r.x0) - 1, L.plotBottom);
      drawAxis(axis, px, r);
    }
    function drawGrid(values, px, r) {
      ctx.strokeStyle = "#eceef1";
      ctx.lineWidth = 1;
      ctx.beginPath();
      for (const t of values) { const x = crisp(px(t)); ctx.moveTo(x, L.tvBottom); ctx.lineTo(x, L.plotBottom); }
      for (let k = 0; k < st.families.length; k++) {
        const y = crisp(L.famTop + k * L.rowH);
        ctx.moveTo(r.x0, y); ctx.lineTo(r.x1, y);
      }
      ctx.moveTo(r.x0, crisp(L.scanTop - 3)); ctx.lineTo(r.x1, crisp(L.scanTop - 3));
      ctx.stroke();
    }
    function drawTv(v, px, r) {
      ctx.font = "10px " + FONT;
      ctx.textAlign = "center";
      ctx.textBaseline = "middle";
      for (const t of st.data.tv) {
        if (!overlaps(t.low, t.high, v)) continue;
        const x0 = px(t.low), x1 = px(t.high), label = String(t.channel);
        ctx.fillStyle = t.channel % 2 ? "#e4eaf2" : "#f1f4f8";
        ctx.fillRect(x0, 0, x1 - x0, L.tvBottom);
        if (x1 - x0 > ctx.measureText(label).width + 4) {
          ctx.fillStyle = "#56657a";
          ctx.fillText(label, (Math.max(x0, r.x0) + Math.min(x1, r.x1)) / 2, L.tvBottom / 2 + 1);
        }
      }
    }
    function drawExcludes(v, px) {
      for (const e of st.excludes) {
        if (!overlaps(e.low, e.high, v)) continue;
        const x0 = px(e.low), w = Math.max(2, px(e.high) - x0);
        ctx.fillStyle = e.scan ? "rgba(240,180,60,0.28)" : hatch;
        ctx.fillRect(x0, L.tvBottom, w, L.plotBottom - L.tvBottom);
      }
    }
    function drawBands(v, px) {
      for (const b of st.data.bands) {
        if (!overlaps(b.low, b.high, v)) continue;
        ctx.fillStyle = colour(b.group);
        ctx.fillRect(px(b.low), L.bandTop, Math.max(2, px(b.high) - px(b.low)), 4);
      }
    }
    // One path vertex per point when zoomed in; per pixel column the lowest
    // and highest level when there are more points than columns.
    function drawScan(i, px) {
      const s = st.scan, v = views[i], r = rects[i];
      const top = L.scanTop, bottom = L.plotBottom - 1, scale = (bottom - top) / (s.max - s.min);
      const y = (l) => bottom - (l - s.min) * scale;
      const a = Math.max(0, lowerBound(s.f, v.lo) - 1), b = Math.min(s.f.length, upperBound(s.f, v.hi) + 1);
      if (b > a) {
        const x0 = px(s.f[a]);
        ctx.beginPath();
        ctx.moveTo(x0, y(s.level[a]));
        if (b - a > 2 * (r.x1 - r.x0)) {
          const k = (r.x1 - r.x0) / (v.hi - v.lo), base = r.x0 - v.lo * k;
          let col = Math.floor(x0), lo = s.level[a], hi = lo;
          for (let j = a + 1; j < b; j++) {
            const c = Math.floor(base + s.f[j] * k), l = s.level[j];
            if (c === col) { if (l < lo) lo = l; else if (l > hi) hi = l; continue; }
            ctx.lineTo(col + 0.5, y(lo)); ctx.lineTo(col + 0.5, y(hi));
            col = c; lo = hi = l;
          }
          ctx.lineTo(col + 0.5, y(lo)); ctx.lineTo(col + 0.5, y(hi));
        } else {
          for (let j = a + 1; j < b; j++) ctx.lineTo(px(s.f[j]), y(s.level[j]));
        }
        ctx.strokeStyle = "#6f829c";
        ctx.lineWidth = 1;
        ctx.stroke();
        ctx.lineTo(px(s.f[b - 1]), bottom); ctx.lineTo(x0, bottom); ctx.closePath();
        ctx.fillStyle = "rgba(32,50,74,0.13)";
        ctx.fill();
      }
      const ty = crisp(Math.min(bottom, Math.max(top, y(s.threshold))));
      ctx.strokeStyle = "#c98a00";
      ctx.lineWidth = 1.5;
      ctx.setLineDash([6, 4]);
      ctx.beginPath(); ctx.moveTo(r.x0, ty); ctx.lineTo(r.x1, ty); ctx.stroke();
      ctx.setLineDash([]);
    }
    function drawFamilies(v, px, r) {
      const carriers = st.data.carriers;
      st.families.forEach((fam, k) => {
        const top = L.famTop + k * L.rowH, bottom = top + L.rowH;
        for (let c = 0; c < carriers.length; c++) {
          if (isNaN(fam.lo[c]) || !overlaps(fam.lo[c], fam.hi[c], v)) continue;
          const x0 = crisp(px(fam.lo[c])), w = Math.max(0, crisp(px(fam.hi[c])) - x0);
          ctx.fillStyle = ctx.strokeStyle = colour(carriers[c].group);
          ctx.globalAlpha = 0.2;
          ctx.fillRect(x0, top + 2, w, L.rowH - 3);
          ctx.globalAlpha = 0.6;
          ctx.lineWidth = 1;
          ctx.strokeRect(x0, top + 2, w, L.rowH - 3);
        }
        ctx.globalAlpha = 1;
        const a = lowerBound(fam.vals, v.lo), b = upperBound(fam.vals, v.hi);
        for (const broken of [0, 1]) {
          const half = broken ? 5 : 3.5, height = broken ? Math.min(10, L.rowH - 3) : 6;
          let last = -1;
          ctx.beginPath();
          for (let j = a; j < b; j++) {
            if (fam.broken[j] !== broken) continue;
            const x = Math.round(px(fam.vals[j]) * 2) / 2;
            if (x === last) continue;
            last = x;
            ctx.moveTo(x, bottom - 2 - height); ctx.lineTo(x + half, bottom - 2); ctx.lineTo(x - half, bottom - 2); ctx.closePath();
          }
          ctx.fillStyle = broken ? BROKEN : PRODUCT;
          ctx.fill();
        }
      });
    }
    function drawCarriers(v, px, r) {
      const carriers = st.data.carriers, f = st.order.vals;
      const a = lowerBound(f, v.lo), b = upperBound(f, v.hi);
      let labelEnd = -Infinity;
      ctx.font = "11px " + FONT;
      ctx.textAlign = "center";
      ctx.textBaseline = "alphabetic";
      for (let j = a; j < b; j++) {
        const index = st.order.idx[j], c = carriers[index], x = crisp(px(f[j])), hue = colour(c.group);
        ctx.strokeStyle = ctx.fillStyle = hue;
        ctx.lineWidth = index === selected ? 3 : 1;
        ctx.setLineDash(c.spare ? [3, 3] : []);
        ctx.beginPath(); ctx.moveTo(x, L.lineTop); ctx.lineTo(x, L.plotBottom); ctx.stroke();
        ctx.setLineDash([]);
        ctx.lineWidth = 1.5;
        if (c.spare) { ctx.fillStyle = "#fff"; ctx.beginPath(); ctx.arc(x, L.spareY, 3.5, 0, 7); ctx.fill(); ctx.stroke(); }
        else if (c.fixed) ctx.fillRect(x - 3.5, L.spareY - 3.5, 7, 7);
        const label = c.label || c.text, half = ctx.measureText(label).width / 2 + 2;
        if (x - half < labelEnd || x - half < r.x0 || x + half > r.x1) continue;
        ctx.fillStyle = c.spare ? "#6b7380" : hue;
        ctx.fillText(label, x, L.labelY);
        labelEnd = x + half;
      }
    }
    function drawAxis(axis, px, r) {
      const digits = decimalsOf(axis.step);
      ctx.font = "10px " + FONT;
      ctx.textAlign = "center";
      ctx.textBaseline = "top";
      ctx.strokeStyle = NAVY;
      ctx.fillStyle = NAVY;
      ctx.beginPath();
      for (const t of axis.values) {
        const x = crisp(px(t)), label = t.toFixed(digits), half = ctx.measureText(label).width / 2;
        ctx.moveTo(x, L.plotBottom); ctx.lineTo(x, L.plotBottom + 4);
        if (x - half >= r.x0 - 2 && x + half <= r.x1 + 2) ctx.fillText(label, x, L.plotBottom + 6);
      }
      ctx.stroke();
    }
    function drawGutter() {
      ctx.font = "10px " + FONT;
      ctx.textAlign = "right";
      ctx.textBaseline = "middle";
      ctx.fillStyle = "#3b4a5e";
      const x = gutter - 6;
      st.families.forEach((f, k) => ctx.fillText(texts.family[f.name] || f.name, x, L.famTop + (k + 0.5) * L.rowH + 1));
      if (st.anySpare) ctx.fillText(texts.spare, x, L.spareY);
      if (!st.scan) return;
      const s = st.scan, bottom = L.plotBottom - 1, scale = (bottom - L.scanTop) / (s.max - s.min);
      const step = niceStep((s.max - s.min) / 3, [1, 2, 5]);
      for (let k = Math.ceil(s.min / step); k * step <= s.max; k++) {
        const yy = bottom - (k * step - s.min) * scale;
        if (yy > L.scanTop + 4) ctx.fillText(String(k * step), x, yy);
      }
    }
    function drawBreaks() {
      ctx.strokeStyle = NAVY;
      ctx.lineWidth = 1.2;
      ctx.beginPath();
      for (let i = 1; i < rects.length; i++) {
        const mid = (rects[i - 1].x1 + rects[i].x0) / 2;
        for (const y of [L.plotBottom, L.tvBottom + 2]) {
          ctx.moveTo(mid - 4, y + 4); ctx.lineTo(mid - 1, y - 4);
          ctx.moveTo(mid + 1, y + 4); ctx.lineTo(mid + 4, y - 4);
        }
      }
      ctx.stroke();
    }
    function drawScanTitles() {
      if (!st.scan) return;
      const s = st.scan, first = rects[0];
      const last = rects.reduce((a, r) => (r.x1 - r.x0 > a.x1 - a.x0 ? r : a));
      ctx.font = "10px " + FONT;
      ctx.textBaseline = "top";
      ctx.textAlign = "left";
      ctx.fillStyle = "#56657a";
      ctx.fillText(texts.scanLevel, first.x0 + 4, L.scanTop);
      const bottom = L.plotBottom - 1, top = L.scanTop;
      const y = Math.min(bottom, Math.max(top, bottom - ((s.threshold - s.min) * (bottom - top)) / (s.max - s.min)));
      const label = `${texts.threshold} ${s.threshold} dBm`, w = ctx.measureText(label).width;
      const ly = y - 15 < top ? y + 3 : y - 15;
      ctx.fillStyle = "rgba(255,255,255,0.85)";
      ctx.fillRect(last.x1 - w - 8, ly - 1, w + 6, 13);
      ctx.fillStyle = "#8a5d00";
      ctx.textAlign = "right";
      ctx.fillText(label, last.x1 - 5, ly);
    }

    // ---- the tooltip -------------------------------------------------------
    function productList(title, list, most) {
      const box = el("div", "zp-section");
      box.append(el("div", "zp-head", `${title} (${list.length})`));
      const ul = el("ul");
      for (const i of list.slice(0, most)) {
        const p = st.data.products[i];
        ul.append(el("li", p.broken ? "zp-broken" : "", p.text));
      }
      if (list.length > most) ul.append(el("li", "zp-more", `…+${list.length - most}`));
      if (list.length) box.append(ul);
      return box;
    }
    function closestList(c) {
      const box = el("div", "zp-section zp-closest");
      box.append(el("div", "zp-head", texts.closest));
      const ul = el("ul");
      for (const f of st.data.families) {
        const k = c.closest ? c.closest[f] : null, p = k === null || k === undefined ? null : st.data.products[k];
        ul.append(el("li", p && p.broken ? "zp-broken" : "", `${texts.family[f] || f}: ${p ? p.text : texts.none}`));
      }
      box.append(ul);
      return box;
    }
    // Over the picture with as many products as its height holds, up to
    // LIST_MAX; when even a few do not fit (narrow screens), as a card under it.
    function fillTip() {
      const c = st.data.carriers[selected], group = st.data.groups[c.group];
      const head = el("div", "zp-title");
      head.append(el("b", "", `${c.text} MHz`), ` ${c.label || ""}`);
      const kinds = [c.fixed ? texts.fixed : "", c.spare ? texts.spare : ""].filter(Boolean).join(" · ");
      // A request without groups has one group without a name: not shown.
      const named = group && group.name ? `${texts.group}: ${group.name} · ` : "";
      const facts = el("div", "zp-facts", `${named}${texts.band}: ${c.band || "—"}${kinds ? " · " + kinds : ""}`);
      tip.classList.toggle("zp-wide", W >= 640);
      tip.hidden = false;
      const fill = (most, docked) => {
        tip.classList.toggle("zp-docked", docked);
        tip.replaceChildren(head, facts, productList(texts.makes, st.makes[selected], most),
          productList(texts.suffers, st.suffers[selected], most), closestList(c));
        return tip.scrollHeight + 2 <= H - 8;
      };
      if (![LIST_MAX, 5, 3].some((most) => fill(most, false))) fill(LIST_MAX, true);
      placeTip();
    }
    // Beside the carrier, on the side with more room, inside the stage.
    function placeTip() {
      if (selected === null || tip.hidden || tip.classList.contains("zp-docked")) return;
      const f = st.data.carriers[selected].frequency;
      const i = views.findIndex((v) => f >= v.lo && f <= v.hi);
      const x = i < 0 ? W / 2 : mapper(i)(f), w = tip.offsetWidth, h = tip.offsetHeight;
      const left = x > W / 2 ? x - w - 10 : x + 10;
      tip.style.left = Math.max(4, Math.min(W - w - 4, left)) + "px";
      tip.style.top = Math.max(4, Math.min(L.lineTop + 6, H - h - 4)) + "px";
    }
    function select(index, by) {
      selected = st && index !== null && index >= 0 && index < st.data.carriers.length ? index : null;
      selectedBy = by;
      if (selected === null) tip.hidden = true;
      else { reveal(selected); fillTip(); }
      invalidate();
    }
    function nearest(x, tolerance) {
      const i = panelAt(x), v = views[i], px = mapper(i), f = st.order.vals;
      let best = null, bestD = tolerance;
      for (let j = lowerBound(f, v.lo), end = upperBound(f, v.hi); j < end; j++) {
        const d = Math.abs(px(f[j]) - x);
        if (d <= bestD) { best = st.order.idx[j]; bestD = d; }
      }
      return best;
    }
    function step(direction) {
      const list = st.reachable;
      if (!list.length) return;
      const at = list.indexOf(selected);
      const next = at < 0 ? (direction > 0 ? 0 : list.length - 1) : Math.max(0, Math.min(list.length - 1, at + direction));
      select(list[next], "key");
    }

    // ---- input -------------------------------------------------------------
    const pointers = new Map();
    let gesture = null;
    const localX = (e) => e.clientX - canvas.getBoundingClientRect().left;
    canvas.addEventListener("pointerdown", (e) => {
      if (!st) return;
      if (e.isTrusted) canvas.setPointerCapture(e.pointerId); // a test's made-up pointer has nothing to capture
      pointers.set(e.pointerId, { x: localX(e), y: e.clientY });
      const pts = [...pointers.values()];
      if (pts.length === 1) gesture = { panel: panelAt(pts[0].x), x: pts[0].x, y: pts[0].y, moved: false };
      else if (gesture) { gesture.moved = true; gesture.pinch = pinchOf(pts); }
    });
    const pinchOf = (pts) => ({ mid: (pts[0].x + pts[1].x) / 2, dist: Math.max(10, Math.hypot(pts[0].x - pts[1].x, pts[0].y - pts[1].y)) });
    canvas.addEventListener("pointermove", (e) => {
      if (!st) return;
      const x = localX(e);
      if (!pointers.has(e.pointerId)) {
        if (e.pointerType === "mouse" && (selectedBy === "hover" || selected === null)) {
          const hit = nearest(x, 8);
          if (hit !== selected) select(hit, "hover");
        }
        return;
      }
      pointers.set(e.pointerId, { x, y: e.clientY });
      const pts = [...pointers.values()];
      if (pts.length >= 2 && gesture && gesture.pinch) {
        const now = pinchOf(pts);
        zoomAt(gesture.panel, gesture.pinch.mid, now.dist / gesture.pinch.dist);
        pan(gesture.panel, now.mid - gesture.pinch.mid);
        gesture.pinch = now;
      } else if (gesture) {
        if (!gesture.moved && Math.abs(x - gesture.x) + Math.abs(e.clientY - gesture.y) < 5) return;
        pan(gesture.panel, x - gesture.x);
        gesture.moved = true;
        gesture.x = x;
      }
      invalidate();
    });
    function pointerEnd(e) {
      if (!pointers.delete(e.pointerId)) return;
      const rest = [...pointers.values()];
      if (rest.length === 1 && gesture) Object.assign(gesture, { x: rest[0].x, y: rest[0].y, pinch: null });
      if (rest.length) return;
      if (gesture && !gesture.moved && e.type === "pointerup") select(nearest(localX(e), e.pointerType === "mouse" ? 8 : 18), "tap");
      gesture = null;
    }
    canvas.addEventListener("pointerup", pointerEnd);
    canvas.addEventListener("pointercancel", pointerEnd);
    canvas.addEventListener("pointerleave", (e) => { if (e.pointerType === "mouse" && selectedBy === "hover") select(null, null); });
    canvas.addEventListener("wheel", (e) => {
      if (!st) return;
      e.preventDefault();
      const unit = e.deltaMode === 1 ? 16 : e.deltaMode === 2 ? H : 1, x = localX(e);
      zoomAt(panelAt(x), x, Math.exp(-e.deltaY * unit * 0.002));
      invalidate();
    }, { passive: false });
    canvas.addEventListener("keydown", (e) => {
      if (!st) return;
      const keys = { ArrowLeft: () => step(-1), ArrowRight: () => step(1), "+": () => zoomAll(2), "=": () => zoomAll(2),
        "-": () => zoomAll(0.5), "0": resetAll, Escape: () => select(null, null) };
      if (!keys[e.key]) return;
      e.preventDefault();
      keys[e.key]();
    });

    // ---- size, print and texts ---------------------------------------------
    let lastWidth = -1;
    const observer = new ResizeObserver(() => {
      if (stage.clientWidth !== lastWidth) { lastWidth = stage.clientWidth; fit(); }
    });
    observer.observe(stage);
    function beforePrint() {
      if (printing) return;
      printing = true;
      W = PRINT_WIDTH;
      resize(PRINT_WIDTH, rows().height, 3);
      draw();
    }
    function afterPrint() {
      if (!printing) return;
      printing = false;
      fit();
    }
    const printQuery = window.matchMedia("print");
    const onPrintQuery = (e) => (e.matches ? beforePrint() : afterPrint());
    printQuery.addEventListener("change", onPrintQuery);
    window.addEventListener("beforeprint", beforePrint);
    window.addEventListener("afterprint", afterPrint);

    function setTexts(next) {
      texts = next;
      for (const [key, b] of Object.entries(buttons)) { b.setAttribute("aria-label", texts[key]); b.title = texts[key]; }
      buttons.reset.textContent = "↺ " + texts.reset;
      canvas.setAttribute("aria-label", texts.picture || "");
      if (st && selected !== null) fillTip();
      if (st) fillLegend();
      invalidate();
    }
    function fillLegend() {
      legend.replaceChildren();
      st.data.groups.forEach((g, i) => {
        if (!g.name) return;
        const item = el("li");
        const swatch = el("span", "zp-swatch");
        swatch.style.background = colour(i);
        item.append(swatch, g.label ? `${g.name} (${g.label})` : g.name);
        legend.append(item);
      });
      const key = (cls, word) => { const item = el("li"); item.append(el("span", cls), word); legend.append(item); };
      if (st.data.carriers.some((c) => c.fixed)) key("zp-key-fixed", texts.fixed);
      if (st.anySpare) key("zp-key-spare", texts.spare);
    }
    function sameSpans(a, b) {
      return a.length === b.length && a.every((p, i) => p.low === b[i].low && p.high === b[i].high);
    }

    function show(data) {
      const keep = st && data && sameSpans(st.data.panels, data.panels);
      const was = st && selected !== null ? st.data.carriers[selected].frequency : null;
      st = data ? prepare(data) : null;
      root.classList.toggle("zp-empty", !st);
      legend.replaceChildren();
      if (!keep) views = st ? st.data.panels.map((p) => ({ lo: p.low, hi: p.high })) : [];
      const still = st && selected !== null && st.data.carriers[selected] && st.data.carriers[selected].frequency === was;
      if (!still) selected = null;
      tip.hidden = selected === null;
      if (st) fillLegend();
      if (st && selected !== null) fillTip();
      fit();
    }
    function setScan(threshold, scanExcludes) {
      if (!st) return;
      if (st.scan) st.scan.threshold = threshold;
      st.excludes = st.data.excludes.filter((e) => !e.scan).concat(scanExcludes.map((e) => ({ low: e.low, high: e.high, scan: true })));
      invalidate();
    }
    function marks() {
      const m = { carriers: [], products: [], windows: [], excludes: [], tv: [], panels: [] };
      views.forEach((v, i) => {
        const px = mapper(i), cut = (lo, hi) => ({ x0: px(Math.max(lo, v.lo)), x1: px(Math.min(hi, v.hi)) });
        m.panels.push({ x0: rects[i].x0, x1: rects[i].x1, low: v.lo, high: v.hi });
        st.data.carriers.forEach((c, k) => {
          if (overlaps(c.frequency, c.frequency, v)) m.carriers.push({ index: k, x: px(c.frequency) });
          for (const f of st.families) {
            if (!isNaN(f.lo[k]) && overlaps(f.lo[k], f.hi[k], v)) m.windows.push({ carrier: k, family: f.name, ...cut(f.lo[k], f.hi[k]) });
          }
        });
        st.data.products.forEach((p, k) => {
          if (st.shownFamilies.has(p.family) && overlaps(p.value, p.value, v)) m.products.push({ index: k, x: px(p.value), broken: !!p.broken });
        });
        for (const e of st.excludes) if (overlaps(e.low, e.high, v)) m.excludes.push({ ...cut(e.low, e.high), scan: !!e.scan });
        for (const t of st.data.tv) if (overlaps(t.low, t.high, v)) m.tv.push({ channel: t.channel, ...cut(t.low, t.high) });
      });
      return m;
    }
    // A pan and zoom swing through every panel, drawn once a frame; resolves
    // to the intervals between frames, with each frame's draw time as .draws.
    function frameTimes(frames) {
      if (!st) return Promise.resolve([]);
      const saved = views.slice(), full = st.data.panels;
      const intervals = [], draws = [];
      return new Promise((resolve) => {
        let n = 0, last = 0;
        const tick = (now) => {
          if (n > 0) intervals.push(now - last);
          last = now;
          if (n === frames) { views = saved; draw(); intervals.draws = draws; resolve(intervals); return; }
          const t = n / frames;
          full.forEach((p, i) => {
            const span = (p.high - p.low) * (0.08 + 0.92 * (0.5 + 0.5 * Math.cos(4 * Math.PI * t)));
            setView(i, p.low + (p.high - p.low) * (0.5 + 0.4 * Math.sin(2 * Math.PI * t)) - span / 2, span);
          });
          draw();
          draws.push(view.lastDrawMs);
          n++;
          requestAnimationFrame(tick);
        };
        requestAnimationFrame(tick);
      });
    }
    function destroy() {
      observer.disconnect();
      if (frame) cancelAnimationFrame(frame);
      printQuery.removeEventListener("change", onPrintQuery);
      window.removeEventListener("beforeprint", beforePrint);
      window.removeEventListener("afterprint", afterPrint);
      root.remove();
    }

    setTexts(texts);
    return Object.assign(view, {
      show, setScan, setTexts, marks, frameTimes, destroy,
      select: (index) => select(index, "api"),
    });
  }

  return { create };
}
